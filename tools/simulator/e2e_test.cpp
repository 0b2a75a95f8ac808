// Whole jobs: the driver simulator drives the plug-in library, and
// Ghostscript interprets what they wrote together.
#include "testing/ghostscript.h"
#include "tools/klvps/devmode_fields.h"
#include "tools/simulator/simulator.h"

#include <gtest/gtest.h>

#include <ostream>

namespace klv::sim {
namespace {

struct E2eCase {
    const char* name;
    std::vector<std::string> sets; // device-mode assignments over the defaults
    std::string document;
    int pages;
    Paper paper;
    bool watermarkRed; // expect red watermark pixels at every page centre
};

std::ostream& operator<<(std::ostream& out, const E2eCase& c) {
    return out << c.name;
}

class EndToEndTest : public ::testing::TestWithParam<E2eCase> {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(sim.Open(KLVPS_PLUGIN_PATH, &error)) << error;
    }
    void TearDown() override { EXPECT_EQ(sim.Close(), S_OK); }
    Simulator sim;
};

TEST_P(EndToEndTest, GhostscriptRunsJob) {
    const E2eCase& c = GetParam();
    Job job = SampleJob(c.pages, {"First line of text", "Second line (with parentheses) and a \\ backslash"});
    job.document = c.document;
    job.user = "user1";
    job.jobId = 7;
    job.paper = c.paper;
    job.dpi = 300;
    std::string error;
    std::vector<std::uint8_t> block = sim.DefaultDevMode(&error);
    ASSERT_EQ(block.size(), cli::kDevModeBytes) << error;
    for (const std::string& assignment : c.sets)
        ASSERT_TRUE(cli::ApplyAssignment(block, assignment, &error)) << error;
    job.devmode = block;

    const JobResult result = sim.Run(job);
    ASSERT_TRUE(result.ok) << result.error;
    const testing::Rendering rendering = testing::RenderPages(result.postscript, 36);
    ASSERT_TRUE(rendering.run.ok) << rendering.run.output << "\n--- job ---\n" << result.postscript;
    ASSERT_EQ(rendering.pages.size(), static_cast<size_t>(c.pages));
    for (size_t p = 0; p < rendering.pages.size(); ++p) {
        const testing::Raster& page = rendering.pages[p];
        // 36 dpi: Letter is 306 x 396 pixels, A4 298 x 421.
        EXPECT_EQ(page.Width(), c.paper == Paper::kA4 ? 298 : 306);
        const bool red = page.HasColourNearCentre({255, 0, 0}, 40, 30);
        EXPECT_EQ(red, c.watermarkRed) << "page " << p + 1;
        // The page's own text is drawn in black near the top left.
        EXPECT_TRUE(page.HasColourNear({0, 0, 0}, 40, 40, 30, 25)) << "page " << p + 1;
    }
}

const std::vector<std::string> kRedWatermark = {"sWatermarkOn=1", "rgbWatermarkColor=255,0,0"};

std::vector<std::string> With(std::vector<std::string> base, const std::vector<std::string>& more) {
    base.insert(base.end(), more.begin(), more.end());
    return base;
}

INSTANTIATE_TEST_SUITE_P(
    Jobs, EndToEndTest,
    ::testing::Values(
        E2eCase{"Default", {}, "Document", 1, Paper::kLetter, false},
        E2eCase{"WatermarkOnEveryPage", kRedWatermark, "Report", 3, Paper::kLetter, true},
        E2eCase{"WatermarkOnA4", kRedWatermark, "Report", 2, Paper::kA4, true},
        E2eCase{"WatermarkTextWithSpecials", With(kRedWatermark, {"szWatermarkText=(DRAFT) \\ 100%"}),
                "Report", 1, Paper::kLetter, true},
        E2eCase{
            "WatermarkAngleSizeFont",
            With(kRedWatermark, {"sWatermarkAngle=-45", "lWatermarkSize=48", "szWatermarkFont=Times-Roman"}),
            "Report", 1, Paper::kLetter, true},
        E2eCase{"FullPage", {"sFullPage=1"}, "Report", 2, Paper::kLetter, false},
        E2eCase{"Flip", {"sFlip=1"}, "Report", 1, Paper::kLetter, false},
        E2eCase{"FullPageFlipAndWatermark", With(kRedWatermark, {"sFullPage=1", "sFlip=1"}), "Report", 2,
                Paper::kLetter, true},
        E2eCase{"DocumentNameWithParenthesesAndBackslashes",
                {},
                "C:\\Reports\\Q3 (final).txt",
                1,
                Paper::kLetter,
                false},
        E2eCase{"DocumentNameUnbalanced", {}, "x) (y\\ ((z", 1, Paper::kLetter, false},
        E2eCase{"DocumentNameLatin1", {}, "R\xC3\xA9sum\xC3\xA9 \xE2\x82\xAC.txt", 1, Paper::kLetter, false},
        E2eCase{"DocumentNameLong", {}, std::string(300, 'n'), 1, Paper::kLetter, false},
        E2eCase{"JobNameAndPassword",
                {"szJobName=Quarterly (Q3)", "szJobPassword=1234"},
                "Report",
                1,
                Paper::kLetter,
                false}),
    [](const auto& info) { return std::string(info.param.name); });

// The full-page patch written into the prolog changes the translation of
// every later page matrix named mysetup: offsets below 20 points become 0,
// larger ones grow by 15.
TEST(EndToEndOrigin, FullPagePatchMovesPageOrigin) {
    Simulator sim;
    std::string error;
    ASSERT_TRUE(sim.Open(KLVPS_PLUGIN_PATH, &error)) << error;
    std::vector<std::uint8_t> block = sim.DefaultDevMode(&error);
    ASSERT_TRUE(cli::ApplyAssignment(block, "sFullPage=1", &error)) << error;
    Job job = SampleJob(1, {});
    job.devmode = block;
    const JobResult result = sim.Run(job);
    ASSERT_TRUE(result.ok) << result.error;
    ASSERT_TRUE(result.written.count(PSINJECT_BEGINPROLOG));
    const testing::GsRun run =
        testing::RunGhostscript("%!PS\n" + result.written.at(PSINJECT_BEGINPROLOG) +
                                "userdict begin /mysetup [0.12 0 0 0.12 18 30] def end\n"
                                "mysetup 4 get == mysetup 5 get ==\n");
    ASSERT_TRUE(run.ok) << run.output;
    EXPECT_EQ(run.output, "0\n45\n");
    EXPECT_EQ(sim.Close(), S_OK);
}

} // namespace
} // namespace klv::sim
