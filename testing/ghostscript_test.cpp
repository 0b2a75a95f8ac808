#include "testing/ghostscript.h"

#include <gtest/gtest.h>

#include <ostream>

namespace klv::testing {
namespace {

struct RunCase {
    const char* name;
    const char* program;
    bool ok;
    const char* printed;   // expected in the output; empty: not checked
    const char* errorName; // expected PostScript error; empty: none
    const char* errorCommand;
};

std::ostream& operator<<(std::ostream& out, const RunCase& c) {
    return out << c.name;
}

class GhostscriptRunTest : public ::testing::TestWithParam<RunCase> {};

TEST_P(GhostscriptRunTest, ReportsOutcome) {
    const RunCase& c = GetParam();
    const GsRun run = RunGhostscript(c.program);
    ASSERT_TRUE(run.started) << run.output;
    EXPECT_EQ(run.ok, c.ok) << run.output;
    EXPECT_NE(run.output.find(c.printed), std::string::npos) << run.output;
    EXPECT_EQ(run.postscriptError, *c.errorName != '\0') << run.output;
    EXPECT_EQ(run.errorName, c.errorName);
    EXPECT_EQ(run.errorCommand, c.errorCommand);
    if (!c.ok) {
        EXPECT_NE(run.exitStatus, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Programs, GhostscriptRunTest,
    ::testing::Values(
        RunCase{"Prints", "%!PS\n(hello from gs) print flush\n", true, "hello from gs", "", ""},
        RunCase{"Arithmetic", "%!PS\n3 4 add ==\n", true, "7", "", ""},
        RunCase{"ShowpageOnNullDevice", "%!PS\n0 0 moveto 10 10 lineto stroke showpage\n", true, "", "", ""},
        RunCase{"UndefinedName", "%!PS\nklvNoSuchName\n", false, "", "undefined", "klvNoSuchName"},
        RunCase{"TypeCheck", "%!PS\n(a) 1 add\n", false, "", "typecheck", "--add--"},
        RunCase{"StoppedErrorIsHandled", "%!PS\n{ klvNoSuchName } stopped { (caught) print } if\n", true,
                "caught", "", ""},
        RunCase{"SaferRefusesFileWrites", "%!PS\n(/etc/klvps-gs-test) (w) file\n", false, "",
                "invalidfileaccess", "--file--"}),
    [](const auto& info) { return std::string(info.param.name); });

struct ErrorTextCase {
    const char* name;
    const char* output;
    bool found;
    const char* errorName;
    const char* command;
};

std::ostream& operator<<(std::ostream& out, const ErrorTextCase& c) {
    return out << c.name;
}

class ParseErrorTest : public ::testing::TestWithParam<ErrorTextCase> {};

TEST_P(ParseErrorTest, FindsFirstReport) {
    const ErrorTextCase& c = GetParam();
    std::string name = "x", command = "x";
    EXPECT_EQ(ParsePostScriptError(c.output, &name, &command), c.found);
    if (c.found) {
        EXPECT_EQ(name, c.errorName);
        EXPECT_EQ(command, c.command);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ParseErrorTest,
    ::testing::Values(
        ErrorTextCase{"None", "all fine\n", false, "", ""},
        ErrorTextCase{"Simple", "Error: /undefined in foo\nOperand stack:\n", true, "undefined", "foo"},
        ErrorTextCase{"AtEnd", "Error: /rangecheck in --get--", true, "rangecheck", "--get--"},
        ErrorTextCase{"FirstOfTwo", "x\nError: /stackunderflow in pop\nError: /undefined in q\n", true,
                      "stackunderflow", "pop"}),
    [](const auto& info) { return std::string(info.param.name); });

// A red square in the middle of a Letter page, blue in its lower left corner.
constexpr const char* kSquares = "%!PS\n"
                                 "<< /PageSize [612 792] >> setpagedevice\n"
                                 "1 0 0 setrgbcolor 206 296 200 200 rectfill\n"
                                 "0 0 1 setrgbcolor 0 0 72 72 rectfill\n"
                                 "showpage\n"
                                 "0 1 0 setrgbcolor 206 296 200 200 rectfill showpage\n";

struct PixelCase {
    const char* name;
    int page;
    double xPoints; // position on the page, PostScript points from the lower left
    double yPoints;
    Rgb colour;
};

std::ostream& operator<<(std::ostream& out, const PixelCase& c) {
    return out << c.name;
}

class RenderTest : public ::testing::TestWithParam<PixelCase> {};

TEST_P(RenderTest, PixelHasColour) {
    const PixelCase& c = GetParam();
    const int dpi = 36;
    const Raster raster = RenderPage(kSquares, dpi, c.page);
    ASSERT_FALSE(raster.Empty());
    EXPECT_EQ(raster.Width(), 306);
    EXPECT_EQ(raster.Height(), 396);
    const int x = static_cast<int>(c.xPoints * dpi / 72);
    const int y = raster.Height() - 1 - static_cast<int>(c.yPoints * dpi / 72);
    const Rgb got = raster.At(x, y);
    EXPECT_EQ(got, c.colour) << int(got.r) << "," << int(got.g) << "," << int(got.b);
}

INSTANTIATE_TEST_SUITE_P(Squares, RenderTest,
                         ::testing::Values(PixelCase{"CentreIsRed", 1, 306, 396, {255, 0, 0}},
                                           PixelCase{"CornerIsBlue", 1, 20, 20, {0, 0, 255}},
                                           PixelCase{"OutsideIsWhite", 1, 500, 700, {255, 255, 255}},
                                           PixelCase{"SecondPageCentreIsGreen", 2, 306, 396, {0, 255, 0}},
                                           PixelCase{"SecondPageCornerIsWhite", 2, 20, 20, {255, 255, 255}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(RenderTest, CentreSearchWithTolerance) {
    const Raster raster = RenderPage(kSquares, 36, 1);
    ASSERT_FALSE(raster.Empty());
    EXPECT_TRUE(raster.HasColourNearCentre({250, 5, 5}, 8, 4));
    EXPECT_FALSE(raster.HasColourNearCentre({250, 5, 5}, 2, 4));
    EXPECT_FALSE(raster.HasColourNearCentre({0, 0, 255}, 30, 40));
    // The square is 100 pixels wide at 36 dpi: all of a 21 x 21 window is red.
    EXPECT_EQ(raster.CountNear({255, 0, 0}, 0, 153, 198, 10), 21 * 21);
}

TEST(RenderTest, AllPagesInOrder) {
    const Rendering r = RenderPages(kSquares, 36);
    ASSERT_TRUE(r.run.ok) << r.run.output;
    ASSERT_EQ(r.pages.size(), 2u);
    EXPECT_TRUE(r.pages[0].HasColourNearCentre({255, 0, 0}, 0, 2));
    EXPECT_TRUE(r.pages[1].HasColourNearCentre({0, 255, 0}, 0, 2));
}

TEST(RenderTest, MissingPageOrBrokenJobGivesEmptyRaster) {
    EXPECT_TRUE(RenderPage(kSquares, 36, 3).Empty());
    EXPECT_TRUE(RenderPage(kSquares, 36, 0).Empty());
    EXPECT_TRUE(RenderPage("%!PS\nklvNoSuchName showpage\n", 36, 1).Empty());
}

struct PpmCase {
    const char* name;
    std::string bytes;
    bool valid;
    int width;
    int height;
};

std::ostream& operator<<(std::ostream& out, const PpmCase& c) {
    return out << c.name;
}

class PpmTest : public ::testing::TestWithParam<PpmCase> {};

TEST_P(PpmTest, Parses) {
    const PpmCase& c = GetParam();
    const std::optional<Raster> r = Raster::FromPpm(c.bytes);
    ASSERT_EQ(r.has_value(), c.valid);
    if (c.valid) {
        EXPECT_EQ(r->Width(), c.width);
        EXPECT_EQ(r->Height(), c.height);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Images, PpmTest,
    ::testing::Values(PpmCase{"Minimal", std::string("P6 1 1 255\n\x01\x02\x03", 14), true, 1, 1},
                      PpmCase{"Comment", std::string("P6\n# made here\n2 1\n255\n") + std::string(6, 'x'),
                              true, 2, 1},
                      PpmCase{"Truncated", std::string("P6 2 2 255\n") + std::string(11, 'x'), false, 0, 0},
                      PpmCase{"WrongMagic", std::string("P3 1 1 255\n1 2 3"), false, 0, 0},
                      PpmCase{"SixteenBit", std::string("P6 1 1 65535\n") + std::string(6, 'x'), false, 0, 0},
                      PpmCase{"Empty", std::string(), false, 0, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RunProcessTest, MissingProgramIsNotStarted) {
    const ProcessResult r = RunProcess({"/nonexistent/klvps-no-such-program"}, 10);
    EXPECT_FALSE(r.started);
}

TEST(RunProcessTest, LongRunIsStopped) {
    const ProcessResult r = RunProcess({"sleep", "5"}, 0.2);
    EXPECT_TRUE(r.timedOut);
    EXPECT_EQ(r.exitStatus, -1);
}

} // namespace
} // namespace klv::testing
