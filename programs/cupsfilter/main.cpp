// klvps-cupsfilter: a CUPS filter that serves a PostScript job to the klvps
// plug-in as the Windows driver would, so a job printed through a Linux
// print server gets the same accounting block, patch, flip key and
// watermark. It reads PostScript from the file argument or standard input,
// writes PostScript to standard output and reports on standard error with
// CUPS's message prefixes. The job itself is the job library's (RunJob);
// this file only speaks CUPS's filter conventions.
#include "libraries/job/job.h"
#include "libraries/job/outputs.h"
#include "libraries/settings/settings_doc.h"
#include "programs/cupsfilter/cancel.h"
#include "programs/cupsfilter/cups_options.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <string_view>

#ifndef KLVPS_CUPS_PLUGIN
#define KLVPS_CUPS_PLUGIN "/usr/local/lib/klvps/libklvps.so"
#endif

namespace {

constexpr const char* kUsage = "Usage: klvps-cupsfilter job-id user title copies options [file]\n";

// Exit statuses: CUPS stops the queue's job on any non-zero status.
constexpr int kDone = 0;
constexpr int kFailed = 1;

void Message(std::string_view prefix, const std::string& text) {
    // One write per line: the job's filters and its backend share one pipe
    // to cupsd, and a line written in pieces can be split by another
    // process's line, which loses its prefix and with it the job's reason.
    const std::string line = std::string(prefix) + ": klvps: " + text + "\n";
    std::cerr.flush();
    for (std::size_t done = 0; done < line.size();) {
        const ssize_t wrote = write(STDERR_FILENO, line.data() + done, line.size() - done);
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote <= 0)
            break;
        done += static_cast<std::size_t>(wrote);
    }
}

void PrintHelp() {
    std::string options;
    for (const klv::settings::Setting& s : klv::settings::kSettings) {
        const std::string name = s.cupsOption;
        options += "  " + name + std::string(name.size() < 24 ? 24 - name.size() : 1, ' ') +
                   klv::settings::HelpWithLimits(s) + "\n";
    }
    std::cout << kUsage
              << "\nA CUPS filter for application/vnd.cups-postscript: adds the klvps plug-in's\n"
                 "settings to a DSC PostScript job, read from FILE or standard input, and\n"
                 "writes the job to standard output. The job's user, title and id are those\n"
                 "the plug-in's accounting block bills. Options (from OPTIONS, over the\n"
                 "defaults of the queue's PPD file named by $PPD):\n"
              << options
              << "The watermark text may name {user}, {title}, {job-id}, {date}, {time} and\n"
                 "{printer} ($PRINTER), filled in for each job ({{ and }} for braces).\n"
                 "The plug-in is loaded from $KLVPS_PLUGIN, else " KLVPS_CUPS_PLUGIN ".\n";
}

std::string EnvOr(const char* name, const char* fallback) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? value : fallback;
}

bool ParseJobId(const std::string& text, DWORD* id) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos || text.size() > 10)
        return false;
    const unsigned long long value = std::strtoull(text.c_str(), nullptr, 10);
    if (value == 0 || value > 0xFFFFFFFFULL)
        return false;
    *id = static_cast<DWORD>(value);
    return true;
}

int Run(int argc, char** argv) {
    if (argc == 2 && (std::string_view(argv[1]) == "--help" || std::string_view(argv[1]) == "-h")) {
        PrintHelp();
        return kDone;
    }
    if (argc < 6 || argc > 7) {
        std::cerr << kUsage;
        return kFailed;
    }
    if (!klv::cups::WatchForCancel()) {
        Message("ERROR", std::string("cannot watch for a cancelled job: ") + std::strerror(errno));
        return kFailed;
    }

    klv::job::JobData job;
    if (!ParseJobId(argv[1], &job.jobId)) {
        Message("ERROR", std::string("job id '") + argv[1] + "' is not a number from 1 to 4294967295");
        return kFailed;
    }
    job.user = argv[2];
    job.title = argv[3];
    job.printer = EnvOr("PRINTER", "");
    job.plugin = EnvOr("KLVPS_PLUGIN", KLVPS_CUPS_PLUGIN);
    job.kind = klv::job::InputKind::kPostScript;

    // The options are checked before anything is loaded, so that a bad
    // value is reported even where the plug-in cannot be loaded.
    klv::cups::JobOptions options;
    std::string error;
    if (!klv::cups::ReadJobOptions(argv[5], EnvOr("PPD", ""), &options, &error)) {
        Message("ERROR", error);
        return kFailed;
    }
    job.settings = std::move(options.settings);
    job.paper = options.paper;

    int fd = STDIN_FILENO;
    job.inputName = "standard input";
    if (argc == 7) {
        job.inputName = argv[6];
        fd = open(argv[6], O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            Message("ERROR", std::string("cannot open ") + argv[6] + ": " + std::strerror(errno));
            return kFailed;
        }
    }

    klv::sim::Simulator sim;
    if (!klv::job::OpenPlugin(sim, job, &error)) {
        Message("ERROR", error + " (set KLVPS_PLUGIN, or install the plug-in there)");
        return kFailed;
    }
    Message("DEBUG", "job " + std::to_string(job.jobId) + " of " + job.user + ", plug-in " + job.plugin +
                         (options.paperName.empty() ? "" : ", paper " + options.paperName));

    klv::cups::CancellableInput input(fd);
    std::istream in(&input);
    klv::job::FdOutput output(STDOUT_FILENO);
    job.input = &in;
    job.output = &output;
    job.cancelled = [] { return klv::cups::Cancelled(); };
    job.message = [](klv::job::Level level, const std::string& text) {
        Message(level == klv::job::Level::kError     ? "ERROR"
                : level == klv::job::Level::kWarning ? "WARNING"
                : level == klv::job::Level::kInfo    ? "INFO"
                                                     : "DEBUG",
                text);
    };
    const klv::job::JobOutcome outcome = klv::job::RunJob(sim, job);
    if (fd != STDIN_FILENO)
        close(fd);

    if (outcome.failure == klv::job::Failure::kCancelled) {
        // What was served before the cancel goes out; CUPS knows the job
        // did not finish from the exit status.
        output.Finish(&error);
        Message("INFO", "job cancelled; stopped after " + std::to_string(outcome.bytesRead) + " bytes");
        return kFailed;
    }
    for (const std::string& warning : outcome.warnings)
        Message("WARNING", warning);
    if (!outcome.ok()) {
        Message("ERROR", outcome.message);
        return kFailed;
    }
    // A job cut off before its trailer would print as far as it goes; the
    // printer must not take it for the whole job.
    if (outcome.truncated) {
        Message("ERROR", job.inputName + ": the job ends before its trailer; it was cut off");
        return kFailed;
    }
    if (input.ReadFailed()) {
        Message("ERROR", job.inputName + " cannot be read");
        return kFailed;
    }
    if (sim.Close() != S_OK)
        Message("DEBUG", "the plug-in reports that it cannot be unloaded");
    Message("DEBUG", "served " + std::to_string(outcome.pages) + " pages, " +
                         std::to_string(outcome.bytesRead) + " bytes");
    return kDone;
}

// cupsd may notice that a failed filter has exited before it reads the
// filter's last lines, and then states "Filter failed" instead of the
// reason. When standard error is a pipe, the filter lets it drain first
// (for at most a second).
void LetStandardErrorDrain() {
    struct stat st {};
    if (fstat(STDERR_FILENO, &st) != 0 || !S_ISFIFO(st.st_mode))
        return;
    for (int i = 0; i < 100; ++i) {
        int unread = 0;
        if (ioctl(STDERR_FILENO, FIONREAD, &unread) != 0 || unread == 0)
            return;
        usleep(10000);
    }
}

} // namespace

int main(int argc, char** argv) {
    const int status = Run(argc, argv);
    if (status != kDone)
        LetStandardErrorDrain();
    return status;
}
