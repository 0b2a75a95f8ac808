#include "libraries/ghostscript/ghostscript.h"

#include "libraries/support/files.h"
#include "libraries/support/temp_dir.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace klv::gs {

namespace fs = std::filesystem;
using support::ProcessResult;
using support::RunProcess;
using support::ReadWholeFile;
using support::TempDir;
using support::WriteWholeFile;

namespace {

// Arguments common to every run: quiet, no prompts between pages, exit at
// the end of the input, and no file access beyond what the command line
// grants.
std::vector<std::string> BaseArguments() {
    return {GhostscriptProgram(), "-q", "-dNOPAUSE", "-dBATCH", "-dSAFER"};
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

GsRun RunGhostscript(const std::string& postscript, const std::vector<std::string>& deviceArgs) {
    GsRun run;
    TempDir dir;
    const fs::path input = dir.Path() / "job.ps";
    if (!WriteWholeFile(input, postscript)) {
        run.output = "cannot write " + input.string();
        return run;
    }
    std::vector<std::string> argv = BaseArguments();
    if (deviceArgs.empty())
        argv.push_back("-dNODISPLAY");
    else
        argv.insert(argv.end(), deviceArgs.begin(), deviceArgs.end());
    // "--" would make the rest arguments of the job, so the input is given
    // as a plain path; it is ours and cannot start with '-'.
    argv.push_back(input.string());

    const ProcessResult process = RunProcess(argv);
    run.started = process.started;
    run.exitStatus = process.exitStatus;
    run.output = process.output;
    if (process.timedOut)
        run.output += "\n(Ghostscript was stopped after the time limit)\n";
    run.postscriptError = ParsePostScriptError(run.output, &run.errorName, &run.errorCommand);
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
