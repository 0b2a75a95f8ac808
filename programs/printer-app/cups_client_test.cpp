// CUPS as a client of the printer application: a cupsd of the test's own
// with an IPP Everywhere queue (lpadmin -m everywhere) made from the app's
// printer, jobs printed with lp, and what the printer behind the app
// received read back with `klvps check`. CUPS 2.4's ipp backend sends an
// everywhere queue's jobs with the options its generated PPD file knows, so
// `lp -o klvps-watermark=...` does not reach the application: the klvps
// settings of CUPS's jobs are the app printer's defaults.
#include "libraries/ghostscript/ghostscript.h"
#include "libraries/support/process.h"
#include "libraries/support/temp_dir.h"
#include "programs/printer-app/app_clients.h"
#include "testing/print_server.h"
#include "testing/require_ghostscript.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fstream>

namespace klv::app::testing {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

class CupsClientTest : public ::testing::Test {
protected:
    void SetUp() override {
        KLV_REQUIRE_GHOSTSCRIPT();
        ASSERT_TRUE(app_.Running()) << app_.Log();
        std::string output;
        ASSERT_TRUE(app_.AddPrinter("lab", printer_.Uri(), &output)) << output;
        std::string error;
        ASSERT_TRUE(cups_.Start(&error)) << error;
        // lpadmin asks the app's printer for its attributes and writes the
        // queue's PPD file from them.
        const support::ProcessResult added =
            cups_.Run({"lpadmin", "-p", "front", "-E", "-m", "everywhere", "-v", app_.PrinterUri("lab")});
        ASSERT_EQ(added.exitStatus, 0) << added.output << cups_.ErrorLogTail();
        documents_ = dir_.Path() / "documents";
        fs::create_directories(documents_);
        fs::permissions(documents_, fs::perms::all);
        std::ofstream(documents_ / "page.ps") << "%!PS-Adobe-3.0\n%%Pages: 1\n%%EndComments\n%%Page: 1 1\n"
                                                 "0 0 1 setrgbcolor 72 72 200 200 rectfill\n"
                                                 "/Helvetica findfont 24 scalefont setfont 72 720 moveto\n"
                                                 "(Quarterly report) show showpage\n%%EOF\n";
        std::ofstream(documents_ / "notes.txt") << "Quarterly notes\nSecond line\n";
        Convert("page.pdf", "pdfwrite", {});
        Convert("page.jpg", "jpeg", {"-r50"});
    }

    void Convert(const std::string& name, const std::string& device, std::vector<std::string> more) {
        std::vector<std::string> argv = {gs::GhostscriptProgram(),
                                         "-q",
                                         "-dSAFER",
                                         "-dBATCH",
                                         "-dNOPAUSE",
                                         "-sDEVICE=" + device,
                                         "-sOutputFile=" + (documents_ / name).string()};
        argv.insert(argv.end(), more.begin(), more.end());
        argv.push_back((documents_ / "page.ps").string());
        ASSERT_EQ(support::RunProcess(argv).exitStatus, 0) << name;
    }

    // lp to the everywhere queue; the job id, 0 when lp failed.
    int Lp(const std::string& document, const std::string& user, const std::string& title) {
        std::vector<std::string> argv = {"lp", "-d", "front", "-U", user, "-t", title};
        argv.push_back((documents_ / document).string());
        const support::ProcessResult run = cups_.Run(argv);
        EXPECT_EQ(run.exitStatus, 0) << run.output;
        return klv::testing::JobIdFromLp(run.output);
    }

    // The check report of the received job billed to user.
    json ReportFor(const std::string& user) {
        for (const std::string& job : printer_.Documents()) {
            const json report = json::parse(CheckJson(dir_.Path(), job), nullptr, false);
            if (!report.is_discarded() && report.contains("accounting") &&
                report["accounting"].value(json::json_pointer("/user/text"), std::string()) == user)
                return report;
        }
        return json();
    }

    std::string Logs() const { return cups_.ErrorLogTail(40) + "--- app log ---\n" + app_.Log(); }

    support::TempDir dir_;
    klv::testing::LoopbackPrinter printer_{dir_.Path() / "printer"};
    klv::testing::CupsServer cups_{dir_.Path() / "cups", {}};
    PrinterApp app_;
    fs::path documents_;
};

struct LpCase {
    const char* document;
    const char* user;
    const char* title;
    int pages;
};

TEST_F(CupsClientTest, LpJobsReachThePrinterBilledToTheirUserAndTitleWithThePrintersWatermark) {
    std::string output;
    ASSERT_EQ(app_.Command({"modify", "-d", "lab", "-o", "klvps-watermark-default='FRONT {user}'"}, &output),
              0)
        << output;
    const LpCase kCases[] = {
        {"page.pdf", "alice", "Quarterly report (PDF)", 1},
        {"page.jpg", "bob", "Photo of the report", 1},
        {"notes.txt", "carol", "Notes", 1},
    };
    for (const LpCase& c : kCases)
        ASSERT_NE(Lp(c.document, c.user, c.title), 0);
    ASSERT_TRUE(printer_.WaitForDocuments(std::size(kCases), 90)) << Logs();
    for (const LpCase& c : kCases) {
        SCOPED_TRACE(c.document);
        const json report = ReportFor(c.user);
        ASSERT_FALSE(report.is_null()) << Logs();
        EXPECT_EQ(report["clean"], true) << report.dump(1);
        EXPECT_EQ(report["pages"], c.pages);
        EXPECT_EQ(report["accounting"]["jobName"]["text"], c.title);
        EXPECT_EQ(report["ticket"]["jobName"]["text"], c.title);
        EXPECT_EQ(report["watermark"]["text"]["text"], std::string("FRONT ") + c.user);
    }
}

} // namespace
} // namespace klv::app::testing
