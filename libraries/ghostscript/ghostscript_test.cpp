#include "libraries/ghostscript/ghostscript.h"

#include "testing/require_ghostscript.h"

#include <gtest/gtest.h>

namespace klv::gs {
namespace {

TEST(GhostscriptInInterpreter, ReportsOutcome) {
    KLV_REQUIRE_GHOSTSCRIPT();
    const struct {
        const char* program;
        const char* printed;   // expected in the output
        const char* errorName; // expected PostScript error; empty: none, and the run is ok
        const char* errorCommand;
    } cases[] = {
        {"(hello from gs) print flush\n", "hello from gs", "", ""},
        {"{ klvNoSuchName } stopped { (caught) print } if\n", "caught", "", ""},
        {"klvNoSuchName\n", "", "undefined", "klvNoSuchName"},
        {"(a) 1 add\n", "", "typecheck", "--add--"},
        {"(/etc/klvps-gs-test) (w) file\n", "", "invalidfileaccess", "--file--"}, // -dSAFER
    };
    for (const auto& c : cases) {
        const GsRun run = RunGhostscript(std::string("%!PS\n") + c.program);
        ASSERT_TRUE(run.started) << run.output;
        const bool failed = *c.errorName != '\0';
        EXPECT_EQ(run.ok, !failed) << run.output;
        EXPECT_EQ(run.exitStatus != 0, failed) << run.output;
        EXPECT_NE(run.output.find(c.printed), std::string::npos) << run.output;
        EXPECT_EQ(run.postscriptError, failed) << run.output;
        EXPECT_EQ(run.errorName, c.errorName);
        EXPECT_EQ(run.errorCommand, c.errorCommand);
    }
}

TEST(GhostscriptOutput, ParsesFirstErrorReport) {
    const struct {
        const char* output;
        const char* name; // empty: no report
        const char* command;
    } cases[] = {
        {"all fine\n", "", ""},
        {"Error: /undefined in foo\nOperand stack:\n", "undefined", "foo"},
        {"Error: /rangecheck in --get--", "rangecheck", "--get--"},
        {"x\nError: /stackunderflow in pop\nError: /undefined in q\n", "stackunderflow", "pop"},
    };
    for (const auto& c : cases) {
        std::string name, command;
        EXPECT_EQ(ParsePostScriptError(c.output, &name, &command), *c.name != '\0') << c.output;
        EXPECT_EQ(name, c.name);
        EXPECT_EQ(command, c.command);
    }
}

// Letter pages: a red square in the middle with a blue one in the lower left
// corner, then a green square in the middle.
constexpr const char* kSquares = "%!PS\n<< /PageSize [612 792] >> setpagedevice\n"
                                 "1 0 0 setrgbcolor 206 296 200 200 rectfill\n"
                                 "0 0 1 setrgbcolor 0 0 72 72 rectfill showpage\n"
                                 "0 1 0 setrgbcolor 206 296 200 200 rectfill showpage\n";

TEST(RenderInInterpreter, FindsFilledSquares) {
    KLV_REQUIRE_GHOSTSCRIPT();
    const Rendering r = RenderPages(kSquares, 36);
    ASSERT_TRUE(r.run.ok) << r.run.output;
    ASSERT_EQ(r.pages.size(), 2u);
    const struct {
        size_t page;
        int x, y; // pixels from the top left at 36 dpi
        Rgb colour;
    } cases[] = {{0, 153, 198, {255, 0, 0}},
                 {0, 10, 385, {0, 0, 255}},
                 {0, 250, 45, {255, 255, 255}},
                 {1, 153, 198, {0, 255, 0}},
                 {1, 10, 385, {255, 255, 255}}};
    for (const auto& c : cases) {
        const Raster& page = r.pages[c.page];
        EXPECT_EQ(page.Width(), 306);
        EXPECT_EQ(page.Height(), 396);
        EXPECT_EQ(page.At(c.x, c.y), c.colour) << "page " << c.page + 1 << " at " << c.x << "," << c.y;
    }
    const Raster& first = r.pages[0];
    EXPECT_TRUE(first.HasColourNearCentre({250, 5, 5}, 8, 4));
    EXPECT_FALSE(first.HasColourNearCentre({250, 5, 5}, 2, 4));
    EXPECT_FALSE(first.HasColourNearCentre({0, 0, 255}, 30, 40));
    // The square is 100 pixels wide: all of a 21 x 21 window is red.
    EXPECT_EQ(first.CountNear({255, 0, 0}, 0, 153, 198, 10), 21 * 21);

    const Raster second = RenderPage(kSquares, 36, 2);
    ASSERT_FALSE(second.Empty());
    EXPECT_EQ(second.At(153, 198), (Rgb{0, 255, 0}));
    EXPECT_TRUE(RenderPage(kSquares, 36, 3).Empty());
    EXPECT_TRUE(RenderPage(kSquares, 36, 0).Empty());
    EXPECT_TRUE(RenderPage("%!PS\nklvNoSuchName showpage\n", 36, 1).Empty());
}

} // namespace
} // namespace klv::gs
