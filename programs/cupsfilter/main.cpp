// klvps-cupsfilter: a CUPS filter that serves a PostScript job to the klvps
// plug-in as the Windows driver would, so a job printed through a Linux
// print server gets the same accounting block, patch, flip key and
// watermark. It reads PostScript from the file argument or standard input,
// writes PostScript to standard output and reports on standard error with
// CUPS's message prefixes.
#include "devmode/layout.h"
#include "programs/cupsfilter/cancel.h"
#include "programs/cupsfilter/cups_options.h"
#include "programs/cupsfilter/job_settings.h"
#include "programs/klvps/devmode_fields.h"
#include "programs/klvps/print_job.h"
#include "libraries/simulator/simulator.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <iostream>
#include <string>
#include <string_view>
#include <unistd.h>

#ifndef KLVPS_CUPS_PLUGIN
#define KLVPS_CUPS_PLUGIN "/usr/local/lib/klvps/libklvps.so"
#endif

namespace {

constexpr const char* kUsage = "Usage: klvps-cupsfilter job-id user title copies options [file]\n";

// Exit statuses: CUPS stops the queue's job on any non-zero status.
constexpr int kDone = 0;
constexpr int kFailed = 1;

void Message(std::string_view prefix, const std::string& text) {
    // One write per message: the filter sends one for every page.
    const std::string line = std::string(prefix) + ": " + text + "\n";
    std::cerr.write(line.data(), static_cast<std::streamsize>(line.size())).flush();
}

void PrintHelp() {
    std::cout << kUsage
              << "\nA CUPS filter for application/vnd.cups-postscript: adds the klvps plug-in's\n"
                 "settings to a DSC PostScript job, read from FILE or standard input, and\n"
                 "writes the job to standard output. The job's user, title and id are those\n"
                 "the plug-in's accounting block bills. Options (from OPTIONS, over the\n"
                 "defaults of the queue's PPD file named by $PPD):\n"
                 "  klvps-watermark=TEXT|none   klvps-watermark-angle=DEGREES\n"
                 "  klvps-watermark-color=R,G,B|#RRGGBB   klvps-watermark-size=POINTS\n"
                 "  klvps-watermark-font=NAME   klvps-full-page[=BOOL]   klvps-flip[=BOOL]\n"
                 "  klvps-job-name=TEXT   klvps-job-password=TEXT\n"
                 "The plug-in is loaded from $KLVPS_PLUGIN, else " KLVPS_CUPS_PLUGIN ".\n";
}

std::string PluginPath() {
    const char* configured = std::getenv("KLVPS_PLUGIN");
    return configured != nullptr && *configured != '\0' ? configured : KLVPS_CUPS_PLUGIN;
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

std::vector<klv::cups::CupsOption> QueueDefaults() {
    const char* ppd = std::getenv("PPD");
    if (ppd == nullptr || *ppd == '\0')
        return {};
    std::ifstream in(ppd);
    if (!in) {
        Message("DEBUG", std::string("klvps: cannot read the PPD file ") + ppd + "; no queue defaults");
        return {};
    }
    return klv::cups::PpdDefaults(in);
}

klv::sim::Paper PaperOf(const std::vector<klv::cups::CupsOption>& options) {
    for (const klv::cups::CupsOption& o : options) {
        if ((o.name == "PageSize" || o.name == "media" || o.name == "PageRegion") &&
            (o.value.find("A4") != std::string::npos || o.value.find("a4") != std::string::npos))
            return klv::sim::Paper::kA4;
    }
    return klv::sim::Paper::kLetter;
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
        Message("ERROR", std::string("klvps: cannot watch for a cancelled job: ") + std::strerror(errno));
        return kFailed;
    }

    klv::cli::ExistingJob job;
    if (!ParseJobId(argv[1], &job.setup.jobId)) {
        Message("ERROR", std::string("klvps: job id '") + argv[1] + "' is not a number from 1 to 4294967295");
        return kFailed;
    }
    job.setup.user = argv[2];
    job.setup.document = argv[3];
    const std::vector<klv::cups::CupsOption> options =
        klv::cups::MergeOptions(QueueDefaults(), klv::cups::ParseCupsOptions(argv[5]));
    job.setup.paper = PaperOf(options);

    // Check the options before loading anything, so that a bad value is
    // reported even where the plug-in cannot be loaded.
    std::string error;
    std::vector<std::uint8_t> block(klv::dm::kSize);
    if (!klv::cups::ApplyJobOptions(block, options, &error)) {
        Message("ERROR", "klvps: " + error);
        return kFailed;
    }

    int fd = STDIN_FILENO;
    job.name = "standard input";
    if (argc == 7) {
        job.name = argv[6];
        fd = open(argv[6], O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            Message("ERROR", std::string("klvps: cannot open ") + argv[6] + ": " + std::strerror(errno));
            return kFailed;
        }
    }

    klv::sim::Simulator sim;
    const std::string plugin = PluginPath();
    if (!sim.Open(plugin, &error)) {
        Message("ERROR", "klvps: " + error + " (set KLVPS_PLUGIN, or install the plug-in there)");
        return kFailed;
    }
    if (klv::cups::HasJobOptions(options)) {
        block = sim.DefaultDevMode(&error);
        if (block.empty() || !klv::cups::ApplyJobOptions(block, options, &error)) {
            Message("ERROR", "klvps: " + error);
            return kFailed;
        }
        job.setup.devmode = block;
    }

    job.output = "-";
    Message("DEBUG", "klvps: job " + std::to_string(job.setup.jobId) + " of " + job.setup.user +
                         ", plug-in " + plugin);
    klv::cups::CancellableInput input(fd);
    std::istream in(&input);
    const klv::cli::ExistingJobResult result = klv::cli::PrintExistingJob(
        sim, in, job, [](int page) { Message("DEBUG", "klvps: page " + std::to_string(page)); });
    if (fd != STDIN_FILENO)
        close(fd);

    if (klv::cups::Cancelled()) {
        Message("INFO", "klvps: job cancelled; stopped after " + std::to_string(result.bytesRead) + " bytes");
        return kFailed;
    }
    for (const std::string& warning : result.warnings)
        Message("WARNING", "klvps: " + warning);
    if (!result.ok) {
        Message("ERROR", "klvps: " + result.error);
        return kFailed;
    }
    if (input.ReadFailed()) {
        Message("ERROR", "klvps: " + job.name + " cannot be read");
        return kFailed;
    }
    if (sim.Close() != S_OK)
        Message("DEBUG", "klvps: the plug-in reports that it cannot be unloaded");
    Message("DEBUG", "klvps: served " + std::to_string(result.pages) + " pages, " +
                         std::to_string(result.bytesRead) + " bytes");
    return kDone;
}

} // namespace

int main(int argc, char** argv) {
    return Run(argc, argv);
}
