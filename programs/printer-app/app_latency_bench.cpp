// Submit to first and last byte at the printer, for the printer application
// and for CUPS's own chain with the klvps filter, on the same PDF files in
// one run; and the application's peak memory for each file. Prints a
// Markdown table. scripts/measure-app-latency makes the files and runs it:
//   app_latency_bench [--runs N] FILE.pdf|FILE.ps ...
// Not a test: wall-clock figures compare the two paths on one machine.
#include "libraries/support/process.h"
#include "libraries/support/temp_dir.h"
#include "programs/printer-app/app_clients.h"
#include "testing/print_server.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using klv::app::testing::PrinterApp;

struct Arrival {
    double firstByte = -1; // seconds after the submit
    double lastByte = -1;
};

// The job's bytes as they reach the loopback printer: the first, and the
// last (the job's %%EOF, since the application may keep its connection
// open after a job; CUPS's socket backend closes it).
Arrival Watch(const fs::path& dir, std::size_t before, Clock::time_point submitted, double seconds) {
    Arrival arrival;
    const auto since = [&] { return std::chrono::duration<double>(Clock::now() - submitted).count(); };
    while (since() < seconds) {
        std::vector<fs::path> files;
        for (const fs::directory_entry& e : fs::directory_iterator(dir))
            files.push_back(e.path());
        std::sort(files.begin(), files.end());
        if (files.size() > before) {
            const fs::path& file = files.back();
            std::error_code error;
            const auto size = fs::file_size(file, error);
            if (!error && size > 0 && arrival.firstByte < 0)
                arrival.firstByte = since();
            if (file.extension() == ".prn") {
                arrival.lastByte = since();
                return arrival;
            }
            if (!error && size > 8) {
                std::ifstream in(file, std::ios::binary);
                in.seekg(static_cast<std::streamoff>(size) - 8);
                std::string tail(8, '\0');
                in.read(tail.data(), 8);
                if (tail.find("%%EOF") != std::string::npos) {
                    arrival.lastByte = since();
                    return arrival;
                }
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return arrival;
}

std::size_t FilesIn(const fs::path& dir) {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
}

// The peak resident memory (VmHWM, KiB) of the process whose command line
// starts with prefix: the application, started through a link in its own
// folder.
long PeakKiB(const std::string& prefix) {
    for (const fs::directory_entry& e : fs::directory_iterator("/proc")) {
        std::ifstream cmdline(e.path() / "cmdline");
        std::string argv0;
        if (!std::getline(cmdline, argv0, '\0') || argv0.rfind(prefix, 0) != 0)
            continue;
        std::ifstream status(e.path() / "status");
        for (std::string line; std::getline(status, line);) {
            if (line.rfind("VmHWM:", 0) == 0)
                return std::atol(line.c_str() + 6);
        }
    }
    return -1;
}

struct Row {
    std::string file;
    Arrival app;
    Arrival cups;
    long appPeakKiB = -1;
};

Arrival Best(const std::vector<Arrival>& runs) {
    Arrival best = runs.front();
    for (const Arrival& a : runs) {
        if (a.lastByte >= 0 && (best.lastByte < 0 || a.lastByte < best.lastByte))
            best = a;
    }
    return best;
}

} // namespace

int main(int argc, char* argv[]) {
    int runs = 3;
    std::vector<fs::path> files;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--runs" && i + 1 < argc)
            runs = std::max(1, std::atoi(argv[++i]));
        else
            files.push_back(fs::absolute(a));
    }
    if (files.empty()) {
        std::fprintf(stderr, "usage: app_latency_bench [--runs N] FILE.pdf|FILE.ps ...\n");
        return 2;
    }
    klv::support::TempDir dir;
    const fs::path appJobs = dir.Path() / "app-printer";
    const fs::path cupsJobs = dir.Path() / "cups-printer";
    klv::testing::LoopbackPrinter appPrinter(appJobs);
    klv::testing::LoopbackPrinter cupsPrinter(cupsJobs);
    klv::testing::CupsServer cups(dir.Path() / "cups", {{"klvps-cupsfilter", KLVPS_CUPSFILTER_PATH}});
    std::string error;
    if (!cups.Start(&error)) {
        std::fprintf(stderr, "cupsd: %s\n", error.c_str());
        return 1;
    }
    const klv::support::ProcessResult queue =
        cups.Run({"lpadmin", "-p", "q", "-E", "-v", cupsPrinter.Uri(), "-P", KLVPS_PPD_PATH});
    if (queue.exitStatus != 0) {
        std::fprintf(stderr, "lpadmin: %s\n", queue.output.c_str());
        return 1;
    }
    std::vector<Row> rows;
    for (const fs::path& file : files) {
        Row row;
        row.file = file.filename().string();
        // A fresh application per file, so its peak memory is this file's.
        PrinterApp app;
        std::string output;
        if (!app.Running() ||
            app.Command({"add", "-d", "lab", "-m", "klvps-ps", "-v", appPrinter.Uri()}, &output) != 0) {
            std::fprintf(stderr, "the application did not start: %s\n%s\n", output.c_str(),
                         app.Log().c_str());
            return 1;
        }
        std::vector<Arrival> appRuns;
        std::vector<Arrival> cupsRuns;
        for (int run = 0; run < runs; ++run) {
            std::size_t before = FilesIn(appJobs);
            auto submitted = Clock::now();
            const std::string format =
                file.extension() == ".ps" ? "application/postscript" : "application/pdf";
            const klv::app::testing::IppResult sent =
                klv::app::testing::PrintFile(app, "lab", file, format, "bench", row.file);
            if (sent.status != 0)
                std::fprintf(stderr, "Print-Job failed: %s\n", sent.output.c_str());
            appRuns.push_back(Watch(appJobs, before, submitted, 600));
            klv::app::testing::WaitForJobEnd(app, "lab", sent.Value("job-id"));

            before = FilesIn(cupsJobs);
            submitted = Clock::now();
            const klv::support::ProcessResult lp = cups.Run({"lp", "-d", "q", "-U", "bench", file.string()});
            if (lp.exitStatus != 0)
                std::fprintf(stderr, "lp failed: %s\n", lp.output.c_str());
            cupsRuns.push_back(Watch(cupsJobs, before, submitted, 600));
        }
        row.app = Best(appRuns);
        row.cups = Best(cupsRuns);
        row.appPeakKiB = PeakKiB((app.Dir() / "klvps-printer-app-test-").string());
        rows.push_back(row);
    }
    std::printf(
        "| file | app: first byte | app: last byte | CUPS chain: first byte | CUPS chain: last byte | "
        "app peak memory |\n|---|---:|---:|---:|---:|---:|\n");
    for (const Row& r : rows)
        std::printf("| %s | %.2f s | %.2f s | %.2f s | %.2f s | %.1f MiB |\n", r.file.c_str(),
                    r.app.firstByte, r.app.lastByte, r.cups.firstByte, r.cups.lastByte,
                    r.appPeakKiB / 1024.0);
    return 0;
}
