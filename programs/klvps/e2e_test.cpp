// Whole jobs: the driver simulator drives the plug-in library, and
// Ghostscript interprets what they wrote together.
#include "libraries/ghostscript/ghostscript.h"
#include "libraries/settings/devmode_fields.h"
#include "libraries/simulator/simulator.h"
#include "testing/require_ghostscript.h"

#include <gtest/gtest.h>

#include <ostream>

namespace klv::sim {
namespace {

struct E2eCase {
    const char* name;
    bool watermark;                // red watermark on, expected near every page's centre
    std::vector<std::string> sets; // further device-mode assignments over the defaults
    std::string document;
    int pages;
    Paper paper;
};

std::ostream& operator<<(std::ostream& out, const E2eCase& c) {
    return out << c.name;
}

class EndToEndTest : public ::testing::TestWithParam<E2eCase> {};

TEST_P(EndToEndTest, GhostscriptRunsJob) {
    KLV_REQUIRE_GHOSTSCRIPT();
    const E2eCase& c = GetParam();
    Simulator sim;
    std::string error;
    ASSERT_TRUE(sim.Open(KLVPS_PLUGIN_PATH, &error)) << error;
    Job job = SampleJob(c.pages, {"First line of text", "Second line (with parentheses) and a \\ backslash"});
    job.document = c.document;
    job.jobId = 7;
    job.paper = c.paper;
    job.dpi = 300;
    std::vector<std::uint8_t> block = sim.DefaultDevMode(&error);
    ASSERT_FALSE(block.empty()) << error;
    std::vector<std::string> sets = c.sets;
    if (c.watermark)
        sets.insert(sets.begin(), {"sWatermarkOn=1", "rgbWatermarkColor=255,0,0"});
    for (const std::string& assignment : sets)
        ASSERT_TRUE(settings::ApplyAssignment(block, assignment, &error)) << error;
    job.devmode = block;

    const JobResult result = sim.Run(job);
    ASSERT_TRUE(result.ok) << result.error;
    const gs::Rendering rendering = gs::RenderPages(result.postscript, 36);
    ASSERT_TRUE(rendering.run.ok) << rendering.run.output << "\n--- job ---\n" << result.postscript;
    ASSERT_EQ(rendering.pages.size(), static_cast<size_t>(c.pages));
    for (size_t p = 0; p < rendering.pages.size(); ++p) {
        const gs::Raster& page = rendering.pages[p];
        // 36 dpi: Letter is 306 pixels wide, A4 298.
        EXPECT_EQ(page.Width(), c.paper == Paper::kA4 ? 298 : 306);
        EXPECT_EQ(page.HasColourNearCentre({255, 0, 0}, 40, 30), c.watermark) << "page " << p + 1;
        // The page's own text is drawn in black near the top left.
        EXPECT_TRUE(page.HasColourNear({0, 0, 0}, 40, 40, 30, 25)) << "page " << p + 1;
    }
    EXPECT_EQ(sim.Close(), S_OK);
}

const std::vector<std::string> kStyle = {"szWatermarkText=(DRAFT) \\ 100%", "sWatermarkAngle=-45",
                                         "lWatermarkSize=48", "szWatermarkFont=Times-Roman"};

INSTANTIATE_TEST_SUITE_P(
    Jobs, EndToEndTest,
    ::testing::Values(
        E2eCase{"Default", false, {}, "Document", 1, Paper::kLetter},
        E2eCase{"WatermarkOnEveryPage", true, {}, "Report", 3, Paper::kLetter},
        E2eCase{"StyledWatermarkOnA4", true, kStyle, "Report", 2, Paper::kA4},
        E2eCase{"FullPage", false, {"sFullPage=1"}, "Report", 2, Paper::kLetter},
        E2eCase{"Flip", false, {"sFlip=1"}, "Report", 1, Paper::kLetter},
        E2eCase{"FullPageFlipAndWatermark", true, {"sFullPage=1", "sFlip=1"}, "Report", 2, Paper::kLetter},
        E2eCase{"DocumentNameWithParentheses", false, {}, "C:\\Reports\\Q3 (final).txt", 1, Paper::kLetter},
        E2eCase{"DocumentNameUnbalanced", false, {}, "x) (y\\ ((z", 1, Paper::kLetter}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace klv::sim

namespace klv::sim {
namespace {

// The sample document's drawing calls come out as marks Ghostscript draws:
// each kind in its colour where the first page puts it, and nothing of it
// on the pages after.
TEST(EveryDrawingCallTest, MarksAreOnTheFirstPage) {
    KLV_REQUIRE_GHOSTSCRIPT();
    Simulator sim;
    std::string error;
    ASSERT_TRUE(sim.Open(KLVPS_PLUGIN_PATH, &error)) << error;
    Job job = SampleJob(2, {"One line"});
    job.dpi = 300;
    const JobResult result = sim.Run(job);
    ASSERT_TRUE(result.ok) << result.error;
    const gs::Rendering rendering = gs::RenderPages(result.postscript, 72);
    ASSERT_TRUE(rendering.run.ok) << rendering.run.output;
    ASSERT_EQ(rendering.pages.size(), 2u);
    // At 72 dpi a pixel is a point; the block starts 84 points below the
    // printable area's top (a quarter inch below the paper's).
    struct Mark {
        const char* what;
        gs::Rgb colour;
        int x, y; // centre of the mark on the paper, in points
    };
    const Mark marks[] = {
        {"filled path", {200, 0, 0}, 18 + 206, 18 + 84 + 45},
        {"stroked and filled path", {230, 180, 0}, 18 + 286, 18 + 84 + 30},
        {"gradient's left band", {16, 136, 136}, 18 + 346, 18 + 84 + 30},
        {"stretched image's dark corner", {0, 0, 0}, 18 + 220, 18 + 84 + 84},
    };
    for (const Mark& m : marks) {
        EXPECT_TRUE(rendering.pages[0].HasColourNear(m.colour, 40, m.x, m.y, 6)) << m.what;
        EXPECT_FALSE(rendering.pages[1].HasColourNear(m.colour, 40, m.x, m.y, 6)) << m.what << " on page 2";
    }
    EXPECT_EQ(sim.Close(), S_OK);
}

} // namespace
} // namespace klv::sim
