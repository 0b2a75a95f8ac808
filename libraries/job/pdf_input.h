// PDF input for the front ends that take it (`klvps print`, the printer
// application): Ghostscript's ps2write device turns a PDF into the DSC
// PostScript that the DSC pass serves. A separate library, so that a front
// end without PDF input (the CUPS filter, which CUPS hands PostScript)
// needs no Ghostscript harness.
#pragma once

#include "libraries/job/job.h"

namespace klv::job {

// A PdfConverter: kNoGhostscript, kPdfConversion or kPdfDamaged with the
// reason and Ghostscript's error lines; Ghostscript's errors in a PDF that
// still converted come as a warning through messages.
Failure ConvertPdfWithGhostscript(const std::string& pdf, const std::string& postscript, std::string* why,
                                  const MessageSink& messages);

} // namespace klv::job
