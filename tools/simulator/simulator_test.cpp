#include "tools/simulator/simulator.h"

#include "devmode/layout.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <ostream>
#include <sys/stat.h>

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

TEST_F(SimulatorTest, PluginIdentifiesItself) {
    EXPECT_EQ(sim.Signature(), 0x4B4C564Fu);
    EXPECT_EQ(sim.Version(), 2u);
    EXPECT_EQ(sim.DevModeSize(), 1768u);
    EXPECT_EQ(sim.HookTable().c, 27u);
    EXPECT_EQ(sim.HelperReferencesHeld(), 1);
}

TEST_F(SimulatorTest, CloseReleasesEverythingAndAllowsUnload) {
    EXPECT_EQ(sim.Close(), S_OK);
    EXPECT_EQ(sim.HelperReferencesHeld(), 0);
}

TEST_F(SimulatorTest, UnloadAllowedAfterJob) {
    const JobResult r = sim.Run(SampleJob(2, {"hello"}));
    EXPECT_TRUE(r.ok) << r.error;
    EXPECT_EQ(sim.Close(), S_OK);
    EXPECT_EQ(sim.HelperReferencesHeld(), 0);
}

// Positions of the DSC markers must increase in this order.
TEST_F(SimulatorTest, JobHasDscStructureInOrder) {
    const JobResult r = sim.Run(SampleJob(2, {"first line", "second line"}));
    ASSERT_TRUE(r.ok) << r.error;
    const std::string& ps = r.postscript;
    EXPECT_EQ(ps.rfind("%!PS-Adobe-3.0\n", 0), 0u);
    const char* markers[] = {
        "%%Title:",   "%%Pages: 2",  "%%EndComments",    "%%BeginProlog", "%%EndProlog",    "%%BeginSetup",
        "%%EndSetup", "%%Page: 1 1", "%%BeginPageSetup", "/mysetup [",    "%%EndPageSetup", "(first line)",
        "showpage",   "%%Page: 2 2", "(Page 2 of 2)",    "showpage",      "%%Trailer",      "%%EOF"};
    size_t at = 0;
    for (const char* m : markers) {
        const size_t found = ps.find(m, at);
        ASSERT_NE(found, std::string::npos) << "missing or out of order: " << m << "\n" << ps;
        at = found + 1;
    }
    EXPECT_EQ(ps.substr(ps.size() - 6), "%%EOF\n");
}

TEST_F(SimulatorTest, InjectionPointsInDriverOrder) {
    const JobResult r = sim.Run(SampleJob(3, {}));
    ASSERT_TRUE(r.ok) << r.error;
    const std::vector<DWORD> expected = {11, 14, 15, 16, 101, 101, 101};
    EXPECT_EQ(r.commandOrder, expected);
    EXPECT_TRUE(r.faults.empty());
}

struct HookCase {
    const char* name;
    ULONG index;
    int calls; // for a 2-page sample job with one line
};

std::ostream& operator<<(std::ostream& out, const HookCase& c) {
    return out << c.name;
}

class HookReachTest : public SimulatorTest, public ::testing::WithParamInterface<HookCase> {};

TEST_P(HookReachTest, HookForwardsToDriverFunction) {
    const HookCase& c = GetParam();
    const JobResult r = sim.Run(SampleJob(2, {"line"}));
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.hookCalls.count(c.index) ? r.hookCalls.at(c.index) : 0, c.calls);
    EXPECT_EQ(r.ownCalls.count(c.index) ? r.ownCalls.at(c.index) : 0, c.calls);
}

// Each page: a heading and one line (TextOut twice), one rule (BitBlt).
INSTANTIATE_TEST_SUITE_P(Ddi, HookReachTest,
                         ::testing::Values(HookCase{"StartDoc", INDEX_DrvStartDoc, 1},
                                           HookCase{"StartPage", INDEX_DrvStartPage, 2},
                                           HookCase{"TextOut", INDEX_DrvTextOut, 4},
                                           HookCase{"BitBlt", INDEX_DrvBitBlt, 2},
                                           HookCase{"SendPage", INDEX_DrvSendPage, 2},
                                           HookCase{"EndDoc", INDEX_DrvEndDoc, 1}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SimulatorTest, RealizeBrushIsAnsweredByThePlugin) {
    const JobResult r = sim.Run(SampleJob(2, {}));
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.hookCalls.at(INDEX_DrvRealizeBrush), 2);
    EXPECT_EQ(r.ownCalls.count(INDEX_DrvRealizeBrush), 0u);
}

TEST_F(SimulatorTest, JobTicketAndDefaultJobName) {
    Job job = SampleJob(1, {});
    job.document = "C:\\Reports\\Q3 (final).txt";
    const JobResult r = sim.Run(job);
    ASSERT_TRUE(r.ok) << r.error;
    ASSERT_TRUE(r.written.count(PSINJECT_BEGINSETUP));
    EXPECT_EQ(r.written.at(PSINJECT_BEGINSETUP).rfind("userdict /kelvo$NT true put\r\n", 0), 0u);
    ASSERT_EQ(r.devmodeAfterJob.size(), dm::kSize);
    WCHAR name[dm::kJobNameChars + 1];
    dm::ReadWide(r.devmodeAfterJob.data(), dm::kSzJobName, dm::kJobNameChars, name, std::size(name));
    EXPECT_EQ(std::u16string(name), u"Q3 (final).txt");
}

TEST_F(SimulatorTest, WatermarkInvokedOnEveryPage) {
    Job job = SampleJob(3, {});
    std::string error;
    std::vector<std::uint8_t> block = sim.DefaultDevMode(&error);
    ASSERT_EQ(block.size(), dm::kSize) << error;
    dm::PutS16(block.data(), dm::kSWatermarkOn, 1);
    job.devmode = block;
    const JobResult r = sim.Run(job);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.writeCalls.count(PSINJECT_BEGINPAGESETUP) ? r.writeCalls.at(PSINJECT_BEGINPAGESETUP) : 0, 3);
    EXPECT_NE(r.written.count(PSINJECT_BEGINPROLOG) ? r.written.at(PSINJECT_BEGINPROLOG).find("DrawWaterMark")
                                                    : std::string::npos,
              std::string::npos);
}

TEST_F(SimulatorTest, FullPageWidensPrintableArea) {
    Job job = SampleJob(1, {});
    std::string error;
    std::vector<std::uint8_t> block = sim.DefaultDevMode(&error);
    ASSERT_EQ(block.size(), dm::kSize) << error;
    dm::PutS16(block.data(), dm::kSFullPage, 1);
    job.devmode = block;
    job.dpi = 600;
    const JobResult r = sim.Run(job);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.gdiInfo.ptlPhysOffset.x, 0);
    EXPECT_EQ(r.gdiInfo.ptlPhysOffset.y, 0);
    EXPECT_EQ(r.gdiInfo.ulHorzRes, 5101u); // 8.5 in at 600 dpi, plus one
}

struct BadJobCase {
    const char* name;
    int dpi;
    size_t devmodeBytes; // 0: no device mode
    const char* error;
};

std::ostream& operator<<(std::ostream& out, const BadJobCase& c) {
    return out << c.name;
}

class BadJobTest : public SimulatorTest, public ::testing::WithParamInterface<BadJobCase> {};

TEST_P(BadJobTest, RefusedWithReason) {
    const BadJobCase& c = GetParam();
    Job job;
    job.dpi = c.dpi;
    if (c.devmodeBytes != 0)
        job.devmode = std::vector<std::uint8_t>(c.devmodeBytes, 0);
    const JobResult r = sim.Run(job);
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.error.find(c.error), std::string::npos) << r.error;
    EXPECT_TRUE(r.postscript.empty());
}

INSTANTIATE_TEST_SUITE_P(Jobs, BadJobTest,
                         ::testing::Values(BadJobCase{"ZeroDpi", 0, 0, "dpi"},
                                           BadJobCase{"HugeDpi", 100000, 0, "dpi"},
                                           BadJobCase{"ShortDevMode", 300, 100, "100 bytes"},
                                           BadJobCase{"LongDevMode", 300, 1769, "1769 bytes"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SimulatorOpenTest, MissingLibraryIsReported) {
    Simulator sim;
    std::string error;
    EXPECT_FALSE(sim.Open("/nonexistent/libklvps.so", &error));
    EXPECT_NE(error.find("/nonexistent/libklvps.so"), std::string::npos);
    EXPECT_FALSE(sim.Run(Job{}).ok);
}

struct PsStringCase {
    const char* name;
    std::string utf8;
    std::string ps;
};

std::ostream& operator<<(std::ostream& out, const PsStringCase& c) {
    return out << c.name;
}

class PsStringTest : public ::testing::TestWithParam<PsStringCase> {};

TEST_P(PsStringTest, Escapes) {
    EXPECT_EQ(PsString(GetParam().utf8), GetParam().ps);
}

INSTANTIATE_TEST_SUITE_P(Texts, PsStringTest,
                         ::testing::Values(PsStringCase{"Plain", "abc", "(abc)"},
                                           PsStringCase{"Specials", "C:\\Q3 (final)",
                                                        "(C:\\\\Q3 \\(final\\))"},
                                           PsStringCase{"Latin1", "caf\xC3\xA9", "(caf\\351)"},
                                           PsStringCase{"OutsideLatin1", "\xE4\xB8\xAD", "(?)"},
                                           PsStringCase{"Control", "a\nb", "(a\\012b)"},
                                           PsStringCase{"InvalidUtf8", "\xFF", "(?)"}),
                         [](const auto& info) { return std::string(info.param.name); });

struct Utf8Case {
    const char* name;
    std::string utf8;
    std::u16string utf16;
};

std::ostream& operator<<(std::ostream& out, const Utf8Case& c) {
    return out << c.name;
}

class Utf8Test : public ::testing::TestWithParam<Utf8Case> {};

TEST_P(Utf8Test, RoundTrips) {
    EXPECT_EQ(Utf8ToUtf16(GetParam().utf8), GetParam().utf16);
    EXPECT_EQ(Utf16ToUtf8(GetParam().utf16), GetParam().utf8);
}

INSTANTIATE_TEST_SUITE_P(Texts, Utf8Test,
                         ::testing::Values(Utf8Case{"Ascii", "Q3", u"Q3"},
                                           Utf8Case{"TwoBytes", "\xC3\xA9", u"\u00E9"},
                                           Utf8Case{"ThreeBytes", "\xE4\xB8\xAD", u"\u4E2D"},
                                           Utf8Case{"Surrogates", "\xF0\x9F\x98\x80", u"\U0001F600"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Utf8Test, InvalidSequencesBecomeReplacementCharacters) {
    EXPECT_EQ(Utf8ToUtf16("a\xC0\xAFz"), u"a\uFFFD\uFFFDz"); // overlong
    EXPECT_EQ(Utf8ToUtf16("\xED\xA0\x80"), u"\uFFFD");       // encoded surrogate
    EXPECT_EQ(Utf8ToUtf16("\xE4\xB8"), u"\uFFFD");           // cut short
}

TEST(AtomicWriteTest, ReplacesWholeFileAndLeavesNoTemporary) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("klvps-atomic-" + std::to_string(getpid()));
    fs::create_directories(dir);
    const std::string path = (dir / "out.ps").string();
    std::string error;
    ASSERT_TRUE(WriteFileAtomically(path, "first", &error)) << error;
    ASSERT_TRUE(WriteFileAtomically(path, "second", &error)) << error;
    std::ifstream in(path);
    std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(content, "second");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);

    EXPECT_FALSE(WriteFileAtomically((dir / "missing" / "out.ps").string(), "x", &error));
    EXPECT_NE(error.find("missing"), std::string::npos);
    fs::remove_all(dir);
}

} // namespace
} // namespace klv::sim
