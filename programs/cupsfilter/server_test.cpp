// klvps queues on a real print server: a cupsd of the test's own, a queue
// made from the project's PPD file with lpadmin, jobs given with lp and
// cancel, and a loopback printer that keeps the bytes each job delivers,
// read back with `klvps check --json`. The queue uses the build's filter;
// with KLVPS_TEST_INSTALLED=1 it uses the installed filter and PPD file.
#include "libraries/ghostscript/ghostscript.h"
#include "libraries/support/files.h"
#include "libraries/support/temp_dir.h"
#include "testing/print_server.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <map>
#include <memory>
#include <set>
#include <thread>
#include <tuple>

namespace {

namespace fs = std::filesystem;
using klv::support::ProcessResult;
using klv::testing::CupsServer;
using klv::testing::LoopbackPrinter;

constexpr const char* kQueue = "klvps";

bool Installed() {
    const char* installed = std::getenv("KLVPS_TEST_INSTALLED");
    return installed != nullptr && std::string(installed) == "1";
}

std::string PpdPath() {
    return Installed() ? "/usr/share/ppd/klvps/klvps.ppd" : KLVPS_PPD_PATH;
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// A DSC job of the given pages.
std::string PostScriptJob(int pages) {
    std::string job = "%!PS-Adobe-3.0\n%%Title: sample\n%%Pages: " + std::to_string(pages) +
                      "\n%%EndComments\n%%BeginProlog\n/F { /Helvetica findfont 24 scalefont setfont } def\n"
                      "%%EndProlog\n%%BeginSetup\nF\n%%EndSetup\n";
    for (int page = 1; page <= pages; ++page) {
        const std::string n = std::to_string(page);
        job += "%%Page: " + n + " " + n + "\n%%BeginPageSetup\n%%EndPageSetup\n72 720 moveto (Page " + n +
               ") show\nshowpage\n";
    }
    return job + "%%Trailer\n%%EOF\n";
}

// What a job that reached the printer says, read back with klvps check.
struct Received {
    bool clean = false;
    int pages = 0;
    std::string user;
    std::string title;
    std::string watermark; // empty when the job draws none
    std::string report;    // the whole report, for failure messages
};

Received Check(const fs::path& job) {
    const ProcessResult run = klv::support::RunProcess({KLVPS_TOOL_PATH, "check", "--json", job.string()});
    Received r;
    r.report = run.output;
    const std::string json = run.output.substr(0, run.output.rfind('}') + 1);
    const nlohmann::json report = nlohmann::json::parse(json, nullptr, false);
    if (report.is_discarded())
        return r;
    r.clean = report.value("clean", false);
    r.pages = report.value("pages", 0);
    r.user = report["accounting"]["user"]["text"].get<std::string>();
    r.title = report["accounting"]["file"]["text"].get<std::string>();
    if (report["watermark"].is_object() && report["watermark"]["text"].is_object())
        r.watermark = report["watermark"]["text"]["text"].get<std::string>();
    return r;
}

class ThroughCupsd : public ::testing::Test {
protected:
    void SetUp() override {
        if (access("/usr/sbin/cupsd", X_OK) != 0)
            GTEST_SKIP() << "cupsd is not installed (Debian package cups-daemon)";
        if (Installed() && access("/usr/lib/cups/filter/klvps-cupsfilter", X_OK) != 0)
            GTEST_SKIP() << "KLVPS_TEST_INSTALLED=1 but no klvps-cupsfilter is installed";
        printer_ = std::make_unique<LoopbackPrinter>(dir_.Path() / "printer");
        std::map<std::string, fs::path> filters;
        if (!Installed())
            filters["klvps-cupsfilter"] = KLVPS_CUPSFILTER_PATH;
        server_ = std::make_unique<CupsServer>(dir_.Path() / "cups", filters);
        std::string error;
        ASSERT_TRUE(server_->Start(&error)) << error;
        const ProcessResult added = Cups({"lpadmin", "-p", kQueue, "-E", "-v", printer_->Uri(), "-P",
                                          PpdPath(), "-o", "printer-error-policy=retry-job"});
        ASSERT_EQ(added.exitStatus, 0) << added.output << server_->ErrorLogTail();
        for (const auto& [name, bytes] : {std::pair<const char*, std::string>{"job.ps", PostScriptJob(3)},
                                          {"job.txt", "A text job.\nSecond line.\n"}})
            klv::support::WriteWholeFile(dir_.Path() / name, bytes);
        const ProcessResult pdf = klv::support::RunProcess(
            {klv::gs::GhostscriptProgram(), "-q", "-dNOPAUSE", "-dBATCH", "-dSAFER", "-sDEVICE=pdfwrite",
             "-sOutputFile=" + (dir_.Path() / "job.pdf").string(), (dir_.Path() / "job.ps").string()});
        ASSERT_EQ(pdf.exitStatus, 0) << pdf.output;
    }

    void TearDown() override {
        if (HasFailure() && server_)
            std::cerr << server_->ErrorLogTail();
    }

    ProcessResult Cups(const std::vector<std::string>& argv, double seconds = 60) const {
        return server_->Run(argv, seconds);
    }

    // Submits a job and returns its id (0 when lp refused it).
    int Print(const std::string& file, std::vector<std::string> options) const {
        std::vector<std::string> argv = {"lp", "-d", kQueue};
        argv.insert(argv.end(), options.begin(), options.end());
        argv.push_back((dir_.Path() / file).string());
        const ProcessResult run = Cups(argv);
        EXPECT_EQ(run.exitStatus, 0) << run.output;
        return klv::testing::JobIdFromLp(run.output);
    }

    // The job's attributes as the server reports them to an IPP client.
    std::string JobAttributes(int id) const {
        const fs::path test = dir_.Path() / "get-job.test";
        std::ofstream(test) << "{ OPERATION Get-Job-Attributes\n"
                               "  GROUP operation-attributes-tag\n"
                               "  ATTR charset attributes-charset utf-8\n"
                               "  ATTR naturalLanguage attributes-natural-language en\n"
                               "  ATTR uri printer-uri $uri\n"
                               "  ATTR integer job-id "
                            << id << "\n  ATTR name requesting-user-name test\n}\n";
        return Cups({"ipptool", "-tv", "ipp://" + server_->Address() + "/printers/" + kQueue, test.string()})
            .output;
    }

    // Waits until the job's attributes contain what is asked; false after seconds.
    bool WaitForJob(int id, const std::string& what, double seconds) const {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (!Contains(JobAttributes(id), what)) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(250));
        }
        return true;
    }

    klv::support::TempDir dir_;
    std::unique_ptr<LoopbackPrinter> printer_;
    std::unique_ptr<CupsServer> server_;
};

TEST_F(ThroughCupsd, TwentyUsersAtOnceEachGetTheirOwnJob) {
    constexpr int kJobs = 20;
    const char* const kFiles[] = {"job.ps", "job.pdf", "job.txt"};
    std::vector<std::future<int>> submitted;
    std::set<std::tuple<std::string, std::string, std::string>> expected;
    for (int n = 1; n <= kJobs; ++n) {
        const std::string user = "user" + std::to_string(n);
        const std::string title = "Report " + std::to_string(n);
        const std::string mark = "MARK-" + std::to_string(n);
        expected.emplace(user, title, mark);
        submitted.push_back(std::async(std::launch::async, [this, n, user, title, mark, &kFiles] {
            return Print(kFiles[n % 3], {"-U", user, "-t", title, "-o", "klvps-watermark=" + mark});
        }));
    }
    std::set<int> ids;
    for (std::future<int>& f : submitted)
        ids.insert(f.get());
    ASSERT_EQ(ids.size(), static_cast<std::size_t>(kJobs)) << "each lp gets a job of its own";
    ASSERT_FALSE(ids.count(0));

    ASSERT_TRUE(printer_->WaitForJobs(kJobs, 240)) << printer_->Jobs().size() << " jobs arrived";
    std::this_thread::sleep_for(std::chrono::seconds(1));
    const std::vector<fs::path> jobs = printer_->Jobs();
    ASSERT_EQ(jobs.size(), static_cast<std::size_t>(kJobs)) << "a job lost, duplicated or broken off";
    std::set<std::tuple<std::string, std::string, std::string>> received;
    for (const fs::path& job : jobs) {
        const Received r = Check(job);
        EXPECT_TRUE(r.clean) << job << "\n" << r.report;
        EXPECT_GT(r.pages, 0) << job;
        received.emplace(r.user, r.title, r.watermark);
    }
    EXPECT_EQ(received, expected);
}

struct QueueDefaultCase {
    const char* label;
    std::string option;  // lpadmin -o
    std::string stamped; // on a job of ann's titled "plain"
};

TEST_F(ThroughCupsd, TheQueuesDefaultAppliesAndAJobsOptionOverridesIt) {
    const QueueDefaultCase cases[] = {
        // A choice of the PPD file: cupsd writes it into its PPD copy.
        {"PPD choice", "klvps-watermark=CONFIDENTIAL", "CONFIDENTIAL"},
        // Free text: cupsd keeps it as the queue's klvps-watermark-default
        // and sends it with every job; the filter expands its variables.
        {"free text", "klvps-watermark-default='For {user}: {title}'", "For ann: plain"},
    };
    std::size_t arrived = 0;
    for (const QueueDefaultCase& c : cases) {
        SCOPED_TRACE(c.label);
        const ProcessResult set = Cups({"lpadmin", "-p", kQueue, "-o", c.option});
        ASSERT_EQ(set.exitStatus, 0) << set.output;
        ASSERT_NE(Print("job.ps", {"-U", "ann", "-t", "plain"}), 0);
        ASSERT_NE(Print("job.ps", {"-U", "ann", "-t", "own", "-o", "klvps-watermark=OWN"}), 0);
        arrived += 2;
        ASSERT_TRUE(printer_->WaitForJobs(arrived, 60));
        const std::vector<fs::path> jobs = printer_->Jobs();
        ASSERT_EQ(jobs.size(), arrived);
        EXPECT_EQ(Check(jobs[arrived - 2]).watermark, c.stamped);
        EXPECT_EQ(Check(jobs[arrived - 1]).watermark, "OWN");
    }
}

struct FailedJobCase {
    const char* label;
    std::string file;
    std::vector<std::string> options;
    const char* reason; // in the job's printer-state message
};

TEST_F(ThroughCupsd, AFailedJobStopsWithItsReasonAndTheNextPrints) {
    klv::support::WriteWholeFile(dir_.Path() / "not-postscript.ps", "hello, printer\n");
    const FailedJobCase cases[] = {
        {"bad option",
         "job.ps",
         {"-o", "klvps-watermark-angle=99999"},
         "klvps-watermark-angle: 99999 is outside -32768 to 32767"},
        {"not PostScript",
         "not-postscript.ps",
         {"-o", "document-format=application/vnd.cups-postscript"},
         "the job has no DSC header"},
    };
    std::size_t arrived = 0;
    for (const FailedJobCase& c : cases) {
        SCOPED_TRACE(c.label);
        std::vector<std::string> options = c.options;
        options.insert(options.end(), {"-U", "carl", "-t", "failing"});
        const int failed = Print(c.file, options);
        ASSERT_NE(failed, 0);
        // The job stops (CUPS's processing-stopped) with the filter's
        // error line as its message; the queue goes on.
        EXPECT_TRUE(WaitForJob(failed, "job-state (enum) = processing-stopped", 60)) << JobAttributes(failed);
        EXPECT_TRUE(Contains(JobAttributes(failed), c.reason))
            << JobAttributes(failed) << server_->JobLog(failed);

        const int next = Print("job.ps", {"-U", "dora", "-t", "next"});
        ASSERT_NE(next, 0);
        EXPECT_TRUE(WaitForJob(next, "job-state (enum) = completed", 60)) << JobAttributes(next);
        ++arrived;
        ASSERT_TRUE(printer_->WaitForJobs(arrived, 30));
        const std::vector<fs::path> jobs = printer_->Jobs();
        ASSERT_EQ(jobs.size(), arrived) << "the failed job reached the printer";
        const Received r = Check(jobs.back());
        EXPECT_EQ(r.user, "dora");
        EXPECT_TRUE(r.clean) << r.report;
    }
}

TEST_F(ThroughCupsd, ACancelledJobStopsAndTheNextArrivesWhole) {
    klv::support::WriteWholeFile(dir_.Path() / "long.ps", PostScriptJob(400));
    ASSERT_TRUE(printer_->SetRate(20000));
    const int cancelled = Print("long.ps", {"-U", "eve", "-t", "long"});
    ASSERT_NE(cancelled, 0);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (printer_->Partial().empty() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ASSERT_FALSE(printer_->Partial().empty()) << "the job never started streaming";
    const ProcessResult cancel = Cups({"cancel", std::to_string(cancelled)});
    ASSERT_EQ(cancel.exitStatus, 0) << cancel.output;
    ASSERT_TRUE(printer_->WaitForJobs(1, 30)) << "the printer's connection stayed open";
    EXPECT_TRUE(WaitForJob(cancelled, "job-state (enum) = canceled", 30)) << JobAttributes(cancelled);

    ASSERT_TRUE(printer_->SetRate(0));
    ASSERT_NE(Print("job.ps", {"-U", "fred", "-t", "after"}), 0);
    ASSERT_TRUE(printer_->WaitForJobs(2, 60));
    std::vector<fs::path> ended = printer_->Jobs(".prn");
    for (const fs::path& reset : printer_->Jobs(".reset"))
        ended.push_back(reset);
    ASSERT_EQ(ended.size(), 2u);
    const Received next = Check(printer_->Jobs(".prn").back());
    EXPECT_EQ(next.user, "fred");
    EXPECT_TRUE(next.clean) << next.report;
    EXPECT_EQ(next.pages, 3);
}

TEST_F(ThroughCupsd, AJobWaitsForAnUnreachablePrinterAndArrivesWhole) {
    ASSERT_TRUE(printer_->StopListening());
    const int id = Print("job.ps", {"-U", "gina", "-t", "waiting"});
    ASSERT_NE(id, 0);
    // The job has tried and found no printer before the printer comes back.
    EXPECT_TRUE(WaitForJob(id, "job-state (enum) = processing", 30)) << JobAttributes(id);
    std::this_thread::sleep_for(std::chrono::seconds(3));
    EXPECT_TRUE(printer_->Jobs().empty());
    ASSERT_TRUE(printer_->Listen());
    ASSERT_TRUE(printer_->WaitForJobs(1, 90)) << JobAttributes(id);
    std::this_thread::sleep_for(std::chrono::seconds(1));
    ASSERT_EQ(printer_->Jobs().size(), 1u);
    const Received r = Check(printer_->Jobs().front());
    EXPECT_EQ(r.user, "gina");
    EXPECT_TRUE(r.clean) << r.report;
    EXPECT_EQ(r.pages, 3);
}

TEST_F(ThroughCupsd, QueuedJobsPrintOnceAfterTheServerRestarts) {
    ASSERT_EQ(Cups({"cupsdisable", kQueue}).exitStatus, 0);
    for (const char* user : {"hal", "ida", "jon"})
        ASSERT_NE(Print("job.ps", {"-U", user, "-t", "queued"}), 0);
    server_->Stop();
    std::string error;
    ASSERT_TRUE(server_->Start(&error)) << error;
    ASSERT_EQ(Cups({"cupsenable", kQueue}).exitStatus, 0);
    ASSERT_TRUE(printer_->WaitForJobs(3, 120));
    std::this_thread::sleep_for(std::chrono::seconds(3));
    const std::vector<fs::path> jobs = printer_->Jobs();
    ASSERT_EQ(jobs.size(), 3u);
    std::multiset<std::string> users;
    for (const fs::path& job : jobs)
        users.insert(Check(job).user);
    EXPECT_EQ(users, (std::multiset<std::string>{"hal", "ida", "jon"}));
}

} // namespace
