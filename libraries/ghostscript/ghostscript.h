// Runs PostScript through a real Ghostscript interpreter for the host tools
// and the tests, and looks at what comes out: the interpreter's messages, whether a PostScript error was
// raised, and rendered pages as small RGB rasters.
//
// Ghostscript is started directly (no shell) as
//   gs -q -dNOPAUSE -dBATCH -dSAFER <device arguments> <files>
// with stdout and stderr captured together; nothing else in the project
// starts it. The program is taken from the
// KLVPS_GS environment variable, else "gs" on the PATH.
#pragma once

#include "libraries/ghostscript/raster.h"
#include "libraries/support/process.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace klv::gs {

// The Ghostscript program used by this harness.
std::string GhostscriptProgram();

// Whether that program starts and answers (checked once per process); when
// it does not, *why says so.
bool GhostscriptAvailable(std::string* why = nullptr);

// The outcome of one Ghostscript run.
struct GsRun {
    bool ok = false;              // exited with 0 and raised no PostScript error
    bool started = false;         // Ghostscript could be started at all
    int exitStatus = -1;          // -1: did not exit normally (signal, time limit)
    bool postscriptError = false; // "Error: /name in ..." was printed
    std::string errorName;        // e.g. "undefined", "typecheck"
    std::string errorCommand;     // what the error was raised in, e.g. "foo"
    std::string output;           // everything Ghostscript printed
};

// Interprets postscript. Without deviceArgs it runs with -dNODISPLAY, so
// only what the program prints (print, =, ==) comes out.
GsRun RunGhostscript(const std::string& postscript, const std::vector<std::string>& deviceArgs = {});

// Finds the first "Error: /name in command" report in Ghostscript output.
// Returns false when there is none.
bool ParsePostScriptError(std::string_view output, std::string* name, std::string* command);

// What Ghostscript's output says went wrong: the first PostScript error,
// and every line that reports an error (its own "Error:" lines and the
// PDF interpreter's "**** Error" notes), trimmed.
struct GsErrors {
    bool postscriptError = false;
    std::string name;    // of the PostScript error
    std::string command; // it was raised in
    std::vector<std::string> lines;
};
GsErrors ReadErrors(std::string_view output);

// Runs Ghostscript with the base arguments and then args (devices, options
// and files), at most timeoutSeconds. Without quiet, -q is left out, so
// that Ghostscript says which pages it processes.
support::ProcessResult RunGhostscriptWith(const std::vector<std::string>& args, double timeoutSeconds,
                                          bool quiet = true);

// A PDF file converted to DSC PostScript with the ps2write device.
struct PdfConversion {
    bool started = false; // Ghostscript could be started
    bool timedOut = false;
    int exitStatus = -1;
    bool pagesRead = false; // Ghostscript said it processed pages: the PDF could be read
    GsErrors errors;
};
PdfConversion ConvertPdfToPostScript(const std::string& pdf, const std::string& postscript,
                                     double timeoutSeconds);

// Every page of a job rendered with the ppmraw device.
struct Rendering {
    GsRun run;
    std::vector<Raster> pages; // in page order
};

// Renders all pages at dpi dots per inch (keep it low: 36 or 72).
Rendering RenderPages(const std::string& postscript, int dpi = 36);

// Renders page (1-based) only; an empty raster when the run failed or the
// job has no such page.
Raster RenderPage(const std::string& postscript, int dpi = 36, int page = 1);

} // namespace klv::gs
