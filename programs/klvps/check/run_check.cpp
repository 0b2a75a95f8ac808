#include "programs/klvps/check/run_check.h"

#include "libraries/ghostscript/ghostscript.h"
#include "libraries/support/files.h"
#include "libraries/support/process.h"
#include "libraries/support/temp_dir.h"
#include "programs/klvps/check/stand_in_printer.h"

#include <fstream>

namespace klv::check {

namespace {

bool WriteWhole(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    return static_cast<bool>(out);
}

// Whether the job defines or runs the watermark procedure at all; only then
// does the stand-in catch its definition.
bool NamesWatermark(const std::string& postscript) {
    return postscript.find("DrawWaterMark") != std::string::npos;
}

} // namespace

CheckRun RunCheck(const std::string& postscript, double timeoutSeconds) {
    CheckRun run;
    support::TempDir dir;
    const std::filesystem::path job = dir.Path() / "job.ps";
    const std::filesystem::path program = dir.Path() / "stand-in-printer.ps";
    if (!WriteWhole(job, postscript) ||
        !WriteWhole(program, StandInPrinterProgram(job.string(), NamesWatermark(postscript)))) {
        run.startError = "cannot write to " + dir.Path().string();
        return run;
    }
    // The stand-in reads the job itself, so that it can catch the job's
    // errors and report what the job left behind.
    const support::ProcessResult process =
        gs::RunGhostscriptWith({"--permit-file-read=" + job.string(), "-dNODISPLAY", program.string()},
                               timeoutSeconds);
    run.started = process.started;
    if (!process.started) {
        run.startError = process.output;
        return run;
    }
    run.received = ParseEvents(process.output);
    run.outcome.timedOut = process.timedOut;
    run.outcome.timeoutSeconds = timeoutSeconds;
    run.outcome.exitStatus = process.exitStatus;
    return run;
}

} // namespace klv::check
