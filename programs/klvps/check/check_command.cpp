#include "programs/klvps/check/check_command.h"

#include "libraries/ghostscript/ghostscript.h"
#include "libraries/support/files.h"
#include "platform/host/host.h"
#include "programs/klvps/check/run_check.h"

#include <CLI/CLI.hpp>

#include <iostream>
#include <memory>

namespace klv::check {

cli::Command AddCheckCommand(CLI::App& app) {
    auto options = std::make_shared<CheckOptions>();
    CheckOptions& o = *options;
    CLI::App* cmd = app.add_subcommand(
        "check", "Run a PostScript job in Ghostscript behind a stand-in printer and report what the printer "
                 "received: the names handed to the accounting procedures, the job ticket, the flip key, the "
                 "origin patch, the watermark and the pages it was drawn on, and any PostScript error.\n"
                 "Exit status: 0 the job ran clean, 1 it did not (PostScript error, time limit), 2 bad "
                 "usage or nothing could be checked (no such file, no Ghostscript).");
    cmd->add_option("job", o.job, "PostScript job file")->required();
    cmd->add_flag("--json", o.json, "Report as JSON; names and strings come with their bytes in hex");
    cmd->add_option("--timeout", o.timeoutSeconds, "Stop a job that has not ended after this many seconds")
        ->check(CLI::Range(1, 86400))
        ->capture_default_str();
    cmd->add_option("--codepage", o.codePage,
                    "ANSI code page the names were written in (default: $KLVPS_ANSI_CODEPAGE, else 1252)")
        ->check(CLI::Range(1u, 65535u));
    return {cmd, [options] { return RunCheckCommand(*options); }};
}

int RunCheckCommand(const CheckOptions& o) {
    std::string error;
    const std::optional<std::string> job = support::ReadFile(o.job, &error);
    if (!job) {
        std::cerr << "klvps: " << error << "\n";
        return kExitUsage;
    }
    const std::string& postscript = *job;
    const unsigned codePage = o.codePage != 0 ? o.codePage : host::AnsiCodePage();
    if (!CodePageToUtf8("", codePage)) {
        std::cerr << "klvps: code page " << codePage << " is not supported on this host\n";
        return kExitUsage;
    }

    const CheckRun run = RunCheck(postscript, o.timeoutSeconds);
    if (!run.started) {
        std::cerr << "klvps: cannot run Ghostscript (" << gs::GhostscriptProgram()
                  << "); install it (Debian: apt-get install ghostscript) or name it in KLVPS_GS: "
                  << run.startError << "\n";
        return kExitUsage;
    }
    if (o.json)
        std::cout << ReportJson(run.received, run.outcome, codePage)
                         .dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace)
                  << "\n";
    else
        std::cout << ReportText(run.received, run.outcome, codePage);
    if (run.outcome.timedOut)
        std::cerr << "klvps: " << o.job << ": the job did not end; Ghostscript was stopped after "
                  << o.timeoutSeconds << " seconds (--timeout)\n";
    else if (run.received.error)
        std::cerr << "klvps: " << o.job << ": PostScript error /" << run.received.error->name << " in "
                  << run.received.error->command << " on page " << run.received.error->page << "\n";
    return RanClean(run.received, run.outcome) ? kExitClean : kExitNotClean;
}

} // namespace klv::check
