#include "libraries/simulator/simulator.h"

#include "devmode/layout.h"
#include "hooks/hook_list.h"
#include "libraries/simulator/job_writer.h"

#include "libraries/support/process.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace klv::sim {
namespace {

class SimulatorTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(sim.Open(KLVPS_PLUGIN_PATH, &error)) << error;
    }
    Simulator sim;
};

// One whole job through the loaded library, from GetInfo to DllCanUnloadNow.
TEST_F(SimulatorTest, WholeJob) {
    EXPECT_EQ(sim.Signature(), 0x4B4C564Fu);
    EXPECT_EQ(sim.Version(), 2u);
    EXPECT_EQ(sim.HelperReferencesHeld(), 1);
    Job job = SampleJob(2, {"first line"}, false);
    job.document = "C:\\Reports\\Q3 (final).txt";
    const JobResult r = sim.Run(job);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_TRUE(r.faults.empty());
    EXPECT_TRUE(r.trace.empty()) << r.trace.front(); // nothing fell back

    // The title carries the name StartDoc handed on, so StartDoc reached the
    // driver before the header and its first injection point.
    const std::string& ps = r.postscript;
    EXPECT_EQ(ps.rfind("%!PS-Adobe-3.0\n%%Title: (C:\\\\Reports\\\\Q3 \\(final\\).txt)\n", 0), 0u) << ps;
    size_t at = 0;
    for (const char* m : {"%%Pages: 2", "%%EndComments", "%%BeginProlog", "%%EndProlog", "%%BeginSetup",
                          "%%EndSetup", "%%Page: 1 1", "%%BeginPageSetup", "%%EndPageSetup", "(first line)",
                          "showpage", "%%Page: 2 2", "(Page 2 of 2)", "showpage", "%%Trailer", "%%EOF\n"}) {
        at = ps.find(m, at);
        ASSERT_NE(at, std::string::npos) << "missing or out of order: " << m << "\n" << ps;
    }
    EXPECT_EQ(at + 6, ps.size());
    ASSERT_FALSE(r.commandOrder.empty());
    EXPECT_EQ(r.commandOrder.front(), DWORD{PSINJECT_COMMENTS});

    // The accounting block found this job by the id the StartDoc hook kept.
    ASSERT_TRUE(r.written.count(PSINJECT_COMMENTS));
    EXPECT_NE(r.written.at(PSINJECT_COMMENTS).find("(Q3 \\(final\\).txt)"), std::string::npos);

    // Per page: a heading and a line (two TextOuts) and a rule (BitBlt).
    // Every hook but RealizeBrush forwards to the driver's own function.
    const struct {
        ULONG index;
        int hooked, own;
    } calls[] = {{INDEX_DrvStartDoc, 1, 1},    {INDEX_DrvStartPage, 2, 2}, {INDEX_DrvTextOut, 4, 4},
                 {INDEX_DrvBitBlt, 2, 2},      {INDEX_DrvSendPage, 2, 2},  {INDEX_DrvEndDoc, 1, 1},
                 {INDEX_DrvRealizeBrush, 2, 0}};
    for (const auto& c : calls) {
        EXPECT_EQ(r.hookCalls.count(c.index) ? r.hookCalls.at(c.index) : 0, c.hooked) << "DDI " << c.index;
        EXPECT_EQ(r.ownCalls.count(c.index) ? r.ownCalls.at(c.index) : 0, c.own) << "DDI " << c.index;
    }
    EXPECT_EQ(sim.Close(), S_OK);
    EXPECT_EQ(sim.HelperReferencesHeld(), 0);
}

// The sample document reaches every hooked function: each hook is passed,
// every hook but RealizeBrush forwards to the driver's own function, and
// the brush hook answers by itself. The call log shows the same.
TEST_F(SimulatorTest, SampleDocumentDrivesEveryHook) {
    const JobResult r = sim.Run(SampleJob(2, {"first line"}));
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_TRUE(r.faults.empty());

    struct Hooked {
        ULONG index;
        const char* name;
    };
#define KLV_HOOKED_ENTRY(Name, index, position, failure) Hooked{index, "Drv" #Name},
    const Hooked hooked[] = {KLV_HOOKED_DDI_FUNCTIONS(KLV_HOOKED_ENTRY)};
#undef KLV_HOOKED_ENTRY
    auto logged = [&](const std::string& line) {
        return std::find(r.calls.begin(), r.calls.end(), line) != r.calls.end();
    };
    auto loggedPrefix = [&](const std::string& prefix) {
        return std::any_of(r.calls.begin(), r.calls.end(),
                           [&](const std::string& call) { return call.rfind(prefix, 0) == 0; });
    };
    int reached = 0, forwarded = 0;
    for (const Hooked& h : hooked) {
        const bool viaHook = r.hookCalls.count(h.index) && r.hookCalls.at(h.index) > 0;
        const bool toDriver = r.ownCalls.count(h.index) && r.ownCalls.at(h.index) > 0;
        reached += viaHook;
        forwarded += toDriver;
        EXPECT_TRUE(viaHook) << h.name;
        EXPECT_EQ(toDriver, h.index != INDEX_DrvRealizeBrush) << h.name;
        if (toDriver) {
            EXPECT_TRUE(loggedPrefix(std::string(h.name) + " -> hook -> driver -> ")) << h.name;
        }
    }
    EXPECT_EQ(reached, 27);
    EXPECT_EQ(forwarded, 26);
    EXPECT_TRUE(logged("DrvRealizeBrush -> hook, answered there -> 1"));
    EXPECT_FALSE(loggedPrefix("DrvRealizeBrush -> hook -> driver"));

    // The plug-in's own methods are in the log too, in the driver's order.
    ASSERT_FALSE(r.calls.empty());
    EXPECT_EQ(r.calls.front(), "EnablePDEV -> 0x00000000");
    EXPECT_EQ(r.calls.back(), "DisablePDEV -> 0x00000000");
    EXPECT_TRUE(loggedPrefix("Command(" + std::to_string(PSINJECT_COMMENTS) + ") -> 0x00000000, "));

    // A renderer asks about the font before it draws text in it.
    auto first = [&](const std::string& prefix) {
        return std::find_if(r.calls.begin(), r.calls.end(),
                            [&](const std::string& call) { return call.rfind(prefix, 0) == 0; });
    };
    const auto firstText = first("DrvTextOut");
    for (const char* query : {"DrvQueryFont ", "DrvQueryFontTree", "DrvQueryFontData",
                              "DrvQueryAdvanceWidths", "DrvGetGlyphMode", "DrvFontManagement"})
        EXPECT_LT(first(query) - r.calls.begin(), firstText - r.calls.begin()) << query;

    // Only the first page draws every kind; the second is as before.
    const size_t secondPage = r.postscript.find("%%Page: 2 2");
    ASSERT_NE(secondPage, std::string::npos);
    for (const char* mark : {" image grestore", " stroke grestore", " fill grestore", "% application data"}) {
        EXPECT_LT(r.postscript.find(mark), secondPage) << mark;
        EXPECT_EQ(r.postscript.find(mark, secondPage), std::string::npos) << mark;
    }
}

// Jobs that do not ask for every kind of drawing keep their bytes.
TEST_F(SimulatorTest, PlainPagesDrawOnlyTextAndRules) {
    Job rich = SampleJob(1, {"line"});
    Job plain = SampleJob(1, {"line"}, false);
    const JobResult withAll = sim.Run(rich);
    const JobResult without = sim.Run(plain);
    ASSERT_TRUE(withAll.ok && without.ok) << withAll.error << without.error;
    // StartDoc, StartPage, RealizeBrush, BitBlt, TextOut, SendPage and EndDoc.
    EXPECT_EQ(without.hookCalls.size(), 7u);
    EXPECT_GT(withAll.postscript.size(), without.postscript.size());
    EXPECT_EQ(without.postscript.find(" image grestore"), std::string::npos);
}

TEST_F(SimulatorTest, BadJobsAreRefusedWithReason) {
    const struct {
        int dpi;
        size_t devmodeBytes; // 0: no device mode
        const char* error;
    } cases[] = {{0, 0, "dpi"}, {100000, 0, "dpi"}, {300, 100, "100 bytes"}, {300, 1769, "1769 bytes"}};
    for (const auto& c : cases) {
        Job job;
        job.dpi = c.dpi;
        if (c.devmodeBytes != 0)
            job.devmode = std::vector<std::uint8_t>(c.devmodeBytes, 0);
        const JobResult r = sim.Run(job);
        EXPECT_FALSE(r.ok) << c.error;
        EXPECT_NE(r.error.find(c.error), std::string::npos) << r.error;
        EXPECT_TRUE(r.postscript.empty()) << c.error;
    }
}

// The plug-in's trace lines are collected job by job: a job whose StartDoc
// carries no id is billed from the queue listing, and says so.
TEST_F(SimulatorTest, CollectsThePlugInsTraceLinesPerJob) {
    Job job = SampleJob(1, {});
    job.jobId = 0;
    const JobResult fellBack = sim.Run(job);
    ASSERT_TRUE(fellBack.ok) << fellBack.error;
    EXPECT_EQ(fellBack.trace,
              std::vector<std::string>{"klvps: no job id from StartDoc; billing the last listed job"});
    job.jobId = 3;
    const JobResult found = sim.Run(job);
    ASSERT_TRUE(found.ok) << found.error;
    EXPECT_TRUE(found.trace.empty());
}

// A session with no drawing functions serves the injection points of a job
// it does not write, with the same bytes the simulator's own job gets.
TEST_F(SimulatorTest, SessionServesInjectionPointsOfAnotherJob) {
    Job job = SampleJob(2, {});
    job.user = "alice";
    job.document = "C:\\Docs\\Memo.doc";
    job.jobId = 7;
    job.otherJobs = {platform::QueuedJob{3, u"bob", u"Other.doc"}};
    // Every point writes: the flip key and the watermark are on.
    std::string error;
    job.devmode = sim.DefaultDevMode(&error);
    ASSERT_EQ(job.devmode->size(), dm::kSize) << error;
    dm::PutS16(job.devmode->data(), dm::kSFlip, 1);
    dm::PutS16(job.devmode->data(), dm::kSWatermarkOn, 1);
    const JobResult written = sim.Run(job);
    ASSERT_TRUE(written.ok) << written.error;

    DriverSession session(sim);
    ASSERT_TRUE(session.Begin(job, nullptr, &error)) << error;
    EXPECT_TRUE(session.StartDoc());
    EXPECT_EQ(session.StartDocJobId(), 7u);
    EXPECT_EQ(session.StartDocName(), u"C:\\Docs\\Memo.doc");
    const struct {
        DWORD point;
        int calls; // in the simulator's two-page job
    } points[] = {{PSINJECT_COMMENTS, 1},
                  {PSINJECT_BEGINPROLOG, 1},
                  {PSINJECT_ENDPROLOG, 1},
                  {PSINJECT_BEGINSETUP, 1},
                  {PSINJECT_BEGINPAGESETUP, 2}};
    for (const auto& p : points) {
        SCOPED_TRACE(::testing::Message() << "point " << p.point);
        ASSERT_EQ(written.commandCalls.at(p.point), p.calls);
        std::string served;
        for (int i = 0; i < p.calls; ++i)
            served += session.Inject(p.point);
        EXPECT_FALSE(served.empty());
        EXPECT_EQ(served, written.written.at(p.point));
    }
    EXPECT_TRUE(session.EndDoc());
    EXPECT_TRUE(session.End());
    EXPECT_TRUE(session.Log().faults.empty());
    EXPECT_EQ(session.Log().ownCalls.at(INDEX_DrvStartDoc), 1);
    EXPECT_EQ(session.Log().hookCalls.at(INDEX_DrvEndDoc), 1);
    EXPECT_EQ(session.Log().devmodeAfterJob.size(), sim.DevModeSize());
}

TEST_F(SimulatorTest, SessionRefusesCallsOutsideItsLife) {
    DriverSession session(sim);
    EXPECT_EQ(session.Inject(PSINJECT_COMMENTS), "");
    EXPECT_FALSE(session.StartDoc());
    EXPECT_FALSE(session.End());
    JobSetup setup;
    setup.dpi = 50;
    std::string error;
    EXPECT_FALSE(session.Begin(setup, nullptr, &error));
    EXPECT_NE(error.find("50 dpi"), std::string::npos) << error;
    EXPECT_TRUE(session.Log().commandCalls.empty());
}

TEST(JobWriterTest, FillTemplate) {
    const struct {
        const char* text;
        std::initializer_list<std::string_view> args;
        const char* filled;
    } cases[] = {
        {"%%Page: $1 $1\n", {"3"}, "%%Page: 3 3\n"},
        {"$2 $1", {"a", "b"}, "b a"},
        {"$1", {"$2"}, "$2"},          // arguments are not searched again
        {"$3 $0 $", {"a"}, "$3 $0 $"}, // markers without an argument stay
        {"kelvo$NT", {}, "kelvo$NT"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FillTemplate(c.text, c.args), c.filled) << c.text;
}

TEST(JobWriterTest, PsNumber) {
    const std::pair<double, const char*> cases[] = {
        {0, "0"}, {-1e-12, "0"}, {595.276, "595.276"}, {0.12, "0.12"}, {1.0 / 3, "0.333333"}, {6600, "6600"}};
    for (const auto& [value, text] : cases)
        EXPECT_EQ(PsNumber(value), text) << value;
}

TEST(SimulatorOpenTest, MissingLibraryIsReported) {
    Simulator sim;
    std::string error;
    EXPECT_FALSE(sim.Open("/nonexistent/libklvps.so", &error));
    EXPECT_NE(error.find("/nonexistent/libklvps.so"), std::string::npos);
    EXPECT_FALSE(sim.Run(Job{}).ok);
}

TEST(TextTest, PsString) {
    const std::pair<std::string, std::string> cases[] = {
        {"abc", "(abc)"},        {"C:\\Q3 (final)", "(C:\\\\Q3 \\(final\\))"},
        {"a\nb", "(a\\012b)"},   {"caf\xC3\xA9", "(caf\\351)"}, // Latin-1 as octal
        {"\xE4\xB8\xAD", "(?)"}, {"\xFF", "(?)"}};              // outside Latin-1, invalid UTF-8
    for (const auto& [utf8, ps] : cases)
        EXPECT_EQ(PsString(utf8), ps);
}

} // namespace
} // namespace klv::sim
