// Shared by the DSC pass tests: runs the pass with a marker text at every
// injection point and keeps the job's bytes apart from the inserted ones.
#pragma once

#include "libraries/dsc/dsc_pass.h"

#include <string>
#include <string_view>

namespace klv::dsc::test {

// The text injected at a point, with the plug-in's CR LF line breaks; it is
// PostScript that prints "klvpoint-N" when run.
std::string MarkerText(InjectionPoint point);
// The same text as it appears in a job with line ending eol.
std::string Marker(InjectionPoint point, std::string_view eol = "\n");

struct Recorded {
    DscResult result;
    std::string output;   // everything written
    std::string job;      // only the bytes passed through from the job
    std::string inserted; // only the bytes the pass added
};

Recorded RunMarked(const std::string& job, const DscOptions& options = {});

// Occurrences of needle in text.
int Count(std::string_view text, std::string_view needle);

} // namespace klv::dsc::test
