#include "libraries/job/pdf_input.h"

#include "libraries/ghostscript/ghostscript.h"

#include <fstream>

namespace klv::job {

namespace {

// A day: a PDF of many pages may take long, and a front end that wants a
// shorter limit cancels the job.
constexpr double kConversionSeconds = 24 * 3600;

std::string ErrorLines(const gs::GsErrors& errors) {
    std::string text;
    for (const std::string& line : errors.lines)
        text += "\n  " + line;
    return text;
}

// Counts the pages of the converted job.
int PagesOf(const std::string& postscript) {
    std::ifstream in(postscript, std::ios::binary);
    struct NoOutput : dsc::DscOutput {
        bool Write(std::string_view, dsc::Origin) override { return true; }
    } none;
    const dsc::DscResult pass = dsc::RunDscPass(in, none, [](dsc::InjectionPoint) { return std::string(); });
    return pass.ok ? pass.pages : 0;
}

} // namespace

Failure ConvertPdfWithGhostscript(const std::string& pdf, const std::string& postscript, std::string* why,
                                  const MessageSink& messages) {
    if (messages)
        messages(Level::kInfo, "converting " + pdf + " to PostScript with Ghostscript");
    const gs::PdfConversion run = gs::ConvertPdfToPostScript(pdf, postscript, kConversionSeconds);
    if (!run.started) {
        *why = "printing a PDF file needs Ghostscript, and " + gs::GhostscriptProgram() +
               " cannot be started (install the ghostscript package, or set KLVPS_GS)";
        return Failure::kNoGhostscript;
    }
    if (run.exitStatus != 0) {
        *why = "Ghostscript cannot convert this PDF file (exit status " + std::to_string(run.exitStatus) +
               ")" + ErrorLines(run.errors);
        return Failure::kPdfConversion;
    }
    if (!run.pagesRead) {
        *why = "the PDF file is damaged: Ghostscript cannot read its pages" + ErrorLines(run.errors);
        return Failure::kPdfDamaged;
    }
    if (PagesOf(postscript) == 0) {
        *why = "the PDF file is damaged: Ghostscript found no page in it" + ErrorLines(run.errors);
        return Failure::kPdfDamaged;
    }
    if (!run.errors.lines.empty() && messages)
        messages(Level::kWarning, "Ghostscript reported errors in " + pdf + "; the job may be incomplete" +
                                      ErrorLines(run.errors));
    return Failure::kNone;
}

} // namespace klv::job
