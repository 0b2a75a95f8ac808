// The stand-in printer against small hand-written jobs: what it must see
// whoever wrote the job.
#include "programs/klvps/check/run_check.h"

#include "libraries/ghostscript/ghostscript.h"
#include "libraries/support/process.h"

#include <gtest/gtest.h>

namespace klv::check {
namespace {

constexpr const char* kAccounting = "mark {\n"
                                    "/ZUDurareDirod /ProcSet findresource (logjobinfo) known {\n"
                                    "(u\\(1\\)) /ZUDurareDirod /ProcSet findresource begin logusername end\n"
                                    "(d\\\\e) /ZUDurareDirod /ProcSet findresource begin logfilename end\n"
                                    "/ZUDurareDirod /ProcSet findresource begin logjobinfo end\n"
                                    "}if\n"
                                    "} stopped cleartomark\n";

constexpr const char* kWatermark = "userdict /DrawWaterMark {\nuserdict begin\n/Watermark (W) def\n"
                                   "/FontSize 10 def\n/WaterMarkColor {0.00 0.50 1.00 setrgbcolor} bind def\n"
                                   "/Angle 30 def\n/Font /Courier def\nend\n} bind put\n";

constexpr const char* kInvoke = "userdict /DrawWaterMark get exec\n";

// Builds a procedure around the put operator and runs it: with a procedure
// in put's place, the put is pushed instead of run and `get` fails.
constexpr const char* kPutLoaded = "/p [ 1 /dict load /dup load /k 1 /put load ] cvx def p /k get pop\n";

struct JobCase {
    const char* name;
    std::string job;
    std::string user; // "-": never called
    int pages;
    std::vector<int> watermarkPages;
    const char* errorName; // "": none
    int errorPage;
    bool clean;
};

TEST(RunCheckTest, SeesWhatTheJobHandsOver) {
    if (!klv::gs::GhostscriptAvailable())
        GTEST_SKIP() << "Ghostscript cannot be started";
    const JobCase cases[] = {
        {"AccountingEscapesResolved",
         std::string("%!PS\n") + kAccounting + "showpage\n",
         "u(1)",
         1,
         {},
         "",
         0,
         true},
        {"InvocationsInsideSaveAndRestore",
         std::string("%!PS\n") + kWatermark + "save " + kInvoke +
             "restore showpage\nsave showpage restore\nsave " + kInvoke + "showpage restore\n",
         "-",
         3,
         {1, 3},
         "",
         0,
         true},
        {"ErrorOnTheSecondPage",
         "%!PS\nshowpage\n/x { 1 0 div } def x showpage\n",
         "-",
         1,
         {},
         "undefinedresult",
         2,
         false},
        {"PutWithTooFewOperandsFailsInPut", "%!PS\nuserdict put\n", "-", 0, {}, "stackunderflow", 1, false},
        {"JobThatQuits", "%!PS\nshowpage quit\n", "-", 1, {}, "", 0, false},
        // Jobs printed to a file on Windows can carry a printer job
        // language header and control-D bytes around the PostScript.
        {"PrinterJobLanguageAround",
         std::string("\x04\x1b%-12345X@PJL ENTER LANGUAGE = POSTSCRIPT\r\n%!PS\n") + kAccounting +
             "showpage\n\x1b%-12345X\x04",
         "u(1)",
         1,
         {},
         "",
         0,
         true},
        {"OwnOutputKept", "%!PS\n(hello) = showpage\n", "-", 1, {}, "", 0, true},
        // Procedure sets that take the put operator with `/put load`, as
        // Ghostscript's ps2write output does, after the watermark is defined
        // and in a job without one.
        {"PutLoadedAfterTheWatermark",
         std::string("%!PS\n") + kWatermark + kPutLoaded + kInvoke + "showpage\n",
         "-",
         1,
         {1},
         "",
         0,
         true},
        {"PutLoadedWithoutWatermark",
         std::string("%!PS\n") + kPutLoaded + "showpage\n",
         "-",
         1,
         {},
         "",
         0,
         true},
    };
    for (const JobCase& c : cases) {
        SCOPED_TRACE(c.name);
        const CheckRun run = RunCheck(c.job, 60);
        ASSERT_TRUE(run.started) << run.startError;
        const Received& r = run.received;
        EXPECT_EQ(r.user.ran, c.user != "-");
        if (c.user != "-") {
            EXPECT_EQ(r.user.operand->bytes, c.user);
        }
        EXPECT_EQ(r.pages, c.pages);
        EXPECT_EQ(r.watermark.pages, c.watermarkPages);
        EXPECT_EQ(r.error ? r.error->name : "", c.errorName);
        if (r.error) {
            EXPECT_EQ(r.error->page, c.errorPage);
        }
        EXPECT_EQ(RanClean(r, run.outcome), c.clean);
    }
}

TEST(RunCheckTest, ReadsTheWatermarkProcedureAndTheFileName) {
    if (!klv::gs::GhostscriptAvailable())
        GTEST_SKIP() << "Ghostscript cannot be started";
    const CheckRun run =
        RunCheck(std::string("%!PS\n") + kAccounting + kWatermark + kInvoke + "showpage\n", 60);
    const Received& r = run.received;
    EXPECT_EQ(r.file.operand->bytes, "d\\e");
    EXPECT_TRUE(r.jobInfo);
    EXPECT_TRUE(r.watermark.defined);
    EXPECT_EQ(r.watermark.text->bytes, "W");
    EXPECT_EQ(r.watermark.font->bytes, "Courier");
    EXPECT_EQ(r.watermark.size->bytes, "10");
    EXPECT_EQ(r.watermark.angle->bytes, "30");
    EXPECT_EQ(r.watermark.colour, (std::vector<std::string>{"0.0", "0.5", "1.0"}));
    EXPECT_EQ(r.watermark.pages, std::vector<int>{1});
    EXPECT_TRUE(r.unknown.empty());
}

TEST(RunCheckTest, StopsAJobThatNeverEnds) {
    if (!klv::gs::GhostscriptAvailable())
        GTEST_SKIP() << "Ghostscript cannot be started";
    const CheckRun run = RunCheck("%!PS\nshowpage { } loop\n", 1);
    EXPECT_TRUE(run.outcome.timedOut);
    EXPECT_EQ(run.received.pages, 1);
    EXPECT_FALSE(RanClean(run.received, run.outcome));
}

} // namespace
} // namespace klv::check
