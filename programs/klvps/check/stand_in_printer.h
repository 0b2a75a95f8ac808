// The stand-in printer that `klvps check` runs a job behind: a PostScript
// program that gives Ghostscript what a printer with the accounting
// procedures offers, and reports on stdout, one "%KLVCHK" line per event,
// what the job handed to it.
#pragma once

#include <string>
#include <string_view>

namespace klv::check {

// Marks the start of every event line.
constexpr std::string_view kEventTag = "%KLVCHK ";

// The program to run in place of the job: the stand-in printer, then the
// job at jobPath under `stopped`, then the state the job left behind. With
// catchWatermark, the runs of a DrawWaterMark procedure the job stores in
// userdict are reported page by page.
std::string StandInPrinterProgram(const std::string& jobPath, bool catchWatermark);

} // namespace klv::check
