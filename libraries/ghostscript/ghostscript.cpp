#include "libraries/ghostscript/ghostscript.h"

#include "libraries/support/files.h"
#include "libraries/support/temp_dir.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace klv::gs {

namespace fs = std::filesystem;
using support::ProcessResult;
using support::ReadWholeFile;
using support::RunProcess;
using support::TempDir;
using support::WriteWholeFile;

namespace {

// Arguments common to every run: quiet, no prompts between pages, exit at
// the end of the input, and no file access beyond what the command line
// grants.
std::vector<std::string> BaseArguments(bool quiet = true) {
    std::vector<std::string> argv = {GhostscriptProgram(), "-dNOPAUSE", "-dBATCH", "-dSAFER"};
    if (quiet)
        argv.insert(argv.begin() + 1, "-q");
    return argv;
}

} // namespace

std::string GhostscriptProgram() {
    const char* configured = std::getenv("KLVPS_GS");
    return configured != nullptr && *configured != '\0' ? configured : "gs";
}

bool ParsePostScriptError(std::string_view output, std::string* name, std::string* command) {
    constexpr std::string_view kMarker = "Error: /";
    const size_t at = output.find(kMarker);
    if (at == std::string_view::npos)
        return false;
    size_t p = at + kMarker.size();
    size_t end = p;
    while (end < output.size() && output[end] != ' ' && output[end] != '\n' && output[end] != '\r')
        ++end;
    if (name != nullptr)
        *name = std::string(output.substr(p, end - p));
    if (command != nullptr) {
        command->clear();
        constexpr std::string_view kIn = " in ";
        if (output.substr(end, kIn.size()) == kIn) {
            p = end + kIn.size();
            end = output.find_first_of("\r\n", p);
            *command = std::string(output.substr(p, end == std::string_view::npos ? end : end - p));
        }
    }
    return true;
}

GsErrors ReadErrors(std::string_view output) {
    GsErrors errors;
    errors.postscriptError = ParsePostScriptError(output, &errors.name, &errors.command);
    std::size_t start = 0;
    while (start < output.size()) {
        std::size_t end = output.find('\n', start);
        if (end == std::string_view::npos)
            end = output.size();
        std::string_view line = output.substr(start, end - start);
        start = end + 1;
        if (line.find("Error") == std::string_view::npos)
            continue;
        const std::size_t first = line.find_first_not_of(" \t");
        const std::size_t last = line.find_last_not_of(" \t\r");
        errors.lines.emplace_back(line.substr(first, last + 1 - first));
    }
    return errors;
}

support::ProcessResult RunGhostscriptWith(const std::vector<std::string>& args, double timeoutSeconds,
                                          bool quiet) {
    std::vector<std::string> argv = BaseArguments(quiet);
    argv.insert(argv.end(), args.begin(), args.end());
    return RunProcess(argv, timeoutSeconds);
}

PdfConversion ConvertPdfToPostScript(const std::string& pdf, const std::string& postscript,
                                     double timeoutSeconds) {
    // Not quiet: a PDF that Ghostscript cannot read still yields a job, with
    // an empty page or none, and then it never says which pages it processes.
    const ProcessResult run =
        RunGhostscriptWith({"-sDEVICE=ps2write", "-sOutputFile=" + postscript, pdf}, timeoutSeconds, false);
    PdfConversion conversion;
    conversion.started = run.started;
    conversion.timedOut = run.timedOut;
    conversion.exitStatus = run.exitStatus;
    conversion.pagesRead = run.output.find("Processing pages ") != std::string::npos;
    conversion.errors = ReadErrors(run.output);
    return conversion;
}

GsRun RunGhostscript(const std::string& postscript, const std::vector<std::string>& deviceArgs) {
    GsRun run;
    TempDir dir;
    const fs::path input = dir.Path() / "job.ps";
    if (!WriteWholeFile(input, postscript)) {
        run.output = "cannot write " + input.string();
        return run;
    }
    std::vector<std::string> args = deviceArgs;
    if (args.empty())
        args.push_back("-dNODISPLAY");
    // "--" would make the rest arguments of the job, so the input is given
    // as a plain path; it is ours and cannot start with '-'.
    args.push_back(input.string());

    const ProcessResult process = RunGhostscriptWith(args, 120);
    run.started = process.started;
    run.exitStatus = process.exitStatus;
    run.output = process.output;
    if (process.timedOut)
        run.output += "\n(Ghostscript was stopped after the time limit)\n";
    const GsErrors errors = ReadErrors(run.output);
    run.postscriptError = errors.postscriptError;
    run.errorName = errors.name;
    run.errorCommand = errors.command;
    run.ok = run.started && run.exitStatus == 0 && !run.postscriptError;
    return run;
}

bool GhostscriptAvailable(std::string* why) {
    static std::once_flag once;
    static bool available = false;
    static std::string reason;
    std::call_once(once, [] {
        const ProcessResult probe = RunProcess({GhostscriptProgram(), "--version"}, 30);
        available = probe.started && probe.exitStatus == 0;
        if (!available)
            reason = "Ghostscript (" + GhostscriptProgram() + ") cannot be started" +
                     (probe.output.empty() ? std::string() : ": " + probe.output);
    });
    if (!available && why != nullptr)
        *why = reason;
    return available;
}

Rendering RenderPages(const std::string& postscript, int dpi) {
    Rendering rendering;
    TempDir dir;
    const fs::path pattern = dir.Path() / "page-%04d.ppm";
    rendering.run = RunGhostscript(
        postscript, {"-sDEVICE=ppmraw", "-r" + std::to_string(dpi), "-sOutputFile=" + pattern.string()});
    for (int page = 1;; ++page) {
        char name[32];
        std::snprintf(name, sizeof name, "page-%04d.ppm", page);
        const fs::path file = dir.Path() / name;
        std::error_code ec;
        if (!fs::exists(file, ec))
            break;
        std::optional<Raster> raster = Raster::FromPpm(ReadWholeFile(file));
        if (!raster) {
            rendering.run.ok = false;
            rendering.run.output += "\n(" + file.filename().string() + " is not a readable PPM image)\n";
            break;
        }
        rendering.pages.push_back(std::move(*raster));
    }
    return rendering;
}

Raster RenderPage(const std::string& postscript, int dpi, int page) {
    if (page < 1)
        return {};
    TempDir dir;
    const fs::path output = dir.Path() / "page.ppm";
    const GsRun run = RunGhostscript(
        postscript, {"-sDEVICE=ppmraw", "-r" + std::to_string(dpi), "-dFirstPage=" + std::to_string(page),
                     "-dLastPage=" + std::to_string(page), "-sOutputFile=" + output.string()});
    if (!run.ok)
        return {};
    std::error_code ec;
    if (!fs::exists(output, ec))
        return {};
    return Raster::FromPpm(ReadWholeFile(output)).value_or(Raster{});
}

} // namespace klv::gs
