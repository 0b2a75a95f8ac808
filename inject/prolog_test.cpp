// The prolog's page settings: the page-origin patch, the watermark
// procedure and the flip key, byte for byte and in a PostScript interpreter.
#include "devmode/layout.h"
#include "testing/ghostscript.h"
#include "testing/test_device.h"

#include <gtest/gtest.h>

namespace {

using klv::testing::Concat;
using klv::testing::RunGhostscript;
using klv::testing::TestDevice;
namespace dm = klv::dm;

const std::string kPatchHead =
    "/klvdeforig /def load def userdict begin /klvdef { exch dup (mysetup) eq { exch systemdict /def get "
    "exec "
    "mysetup 4 get dup 20 lt { pop mysetup 4 0 put } { 15 add mysetup exch 4 exch put } ";
const std::string kPatchTail =
    "ifelse mysetup 5 get dup 20 lt { pop mysetup 5 0 put } { 15 add mysetup exch 5 exch put } ifelse } "
    "{ exch systemdict /def get exec } ifelse } bind def /def /klvdef load def end\r\n";
const std::string kFlip = " userdict /kelvo$flip true put \r\n";

TEST(Prolog, PatchAndProcedureByTheirSwitches) {
    struct Case {
        short fullPage;
        short watermarkOn;
        std::vector<size_t> sizes; // bytes of each write
    };
    const Case cases[] = {
        {-1, 0, {}},        {0, 0, {}},
        {1, 0, {188, 178}}, {2, 0, {188, 178}},
        {0, 1, {826}},      {1, 1, {188, 178, 826}},
        {-1, -1, {826}},    {32767, 0, {188, 178}},
    };
    for (const Case& c : cases) {
        TestDevice device;
        device.SetShort(dm::kSFullPage, c.fullPage);
        device.SetShort(dm::kSWatermarkOn, c.watermarkOn);
        const auto writes = device.Inject(PSINJECT_BEGINPROLOG);
        std::vector<size_t> sizes;
        for (const std::string& w : writes)
            sizes.push_back(w.size());
        EXPECT_EQ(sizes, c.sizes) << "full page " << c.fullPage << ", watermark " << c.watermarkOn;
        if (c.sizes.size() >= 2) {
            EXPECT_EQ(writes[0], kPatchHead);
            EXPECT_EQ(writes[1], kPatchTail);
        }
        if (!c.sizes.empty() && c.sizes.back() == 826) {
            EXPECT_EQ(writes.back().rfind("userdict /DrawWaterMark {\r\n", 0), 0u);
        }
    }
}

TEST(Prolog, FlipKey) {
    for (short flip : {0, 1, -1, 2}) {
        TestDevice device;
        device.SetShort(dm::kSFlip, flip);
        const auto writes = device.Inject(PSINJECT_ENDPROLOG);
        if (flip == 0) {
            EXPECT_TRUE(writes.empty());
        } else {
            ASSERT_EQ(writes.size(), 1u);
            EXPECT_EQ(writes[0], kFlip);
        }
    }
}

std::string PatchedProgram() {
    TestDevice device;
    device.SetShort(dm::kSFullPage, 1);
    return Concat(device.Inject(PSINJECT_BEGINPROLOG));
}

TEST(PrologInInterpreter, PatchMovesTheOriginOfMysetup) {
    struct Case {
        const char* definition;
        const char* expected;
    };
    const Case cases[] = {
        {"/mysetup [1 0 0 1 10 30] def", "[1 0 0 1 0 45]"},
        {"/mysetup [1 0 0 1 20 19.5] def", "[1 0 0 1 35 0]"},
        {"/mysetup [1 0 0 1 -5 20] def", "[1 0 0 1 0 35]"},
        {"/mysetup [0.24 0 0 -0.24 100 200] def", "[0.24 0 0 -0.24 115 215]"},
    };
    for (const Case& c : cases) {
        const auto run = RunGhostscript(PatchedProgram() + c.definition + " mysetup ==\n");
        EXPECT_TRUE(run.ok) << run.output;
        EXPECT_NE(run.output.find(c.expected), std::string::npos) << c.definition << " gave " << run.output;
    }
}

TEST(PrologInInterpreter, OtherDefinitionsAreUnaffected) {
    const auto run = RunGhostscript(PatchedProgram() + "/other [1 0 0 1 10 30] def other ==\n"
                                                       "/n 5 def n ==\n"
                                                       "/mysetupx [1 0 0 1 10 10] def mysetupx ==\n");
    ASSERT_TRUE(run.ok) << run.output;
    EXPECT_EQ(run.output, "[1 0 0 1 10 30]\n5\n[1 0 0 1 10 10]\n");
}

TEST(PrologInInterpreter, FlipKeyIsSet) {
    TestDevice device;
    device.SetShort(dm::kSFlip, 1);
    const auto run =
        RunGhostscript(Concat(device.Inject(PSINJECT_ENDPROLOG)) + "userdict /kelvo$flip get ==\n");
    EXPECT_TRUE(run.ok) << run.output;
    EXPECT_NE(run.output.find("true"), std::string::npos);
}

} // namespace

namespace {

// A page that runs the watermark procedure and nothing else.
std::string WatermarkPage(TestDevice& device) {
    return "%!PS\n" + Concat(device.Inject(PSINJECT_BEGINPROLOG)) +
           Concat(device.Inject(PSINJECT_BEGINPAGESETUP)) + "showpage\n";
}

TEST(WatermarkInInterpreter, PaintsTheChosenColourAtTheCentre) {
    struct Case {
        const char* name;
        std::u16string text;
        std::u16string font;
        klv::testing::Rgb colour;
    };
    const Case cases[] = {
        {"defaults", u"WaterMark", u"Helvetica", {230, 230, 230}},
        {"unbalanced parenthesis", u"DRAFT) (COPY", u"Helvetica", {255, 0, 0}},
        {"backslashes", u"C:\\MEMO\\", u"Times-Roman", {0, 0, 255}},
        {"injection attempt", u") def /Watermark (HACKED", u"Courier", {0, 128, 0}},
        {"font name with spaces", u"CONFIDENTIAL", u"Times Bold", {255, 0, 0}},
        {"font name of delimiters only", u"XXXX", u"() []", {0, 0, 255}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestDevice device;
        device.SetShort(dm::kSWatermarkOn, 1);
        device.SetShort(dm::kSWatermarkAngle, 0);
        device.SetWide(dm::kSzWatermarkText, c.text);
        device.SetWide(dm::kSzWatermarkFont, c.font);
        BYTE* settings = device.Settings();
        settings[dm::kRgbWatermarkColor] = c.colour.r;
        settings[dm::kRgbWatermarkColor + 1] = c.colour.g;
        settings[dm::kRgbWatermarkColor + 2] = c.colour.b;
        const std::string job = WatermarkPage(device);
        const auto rendering = klv::testing::RenderPages(job, 36);
        ASSERT_TRUE(rendering.run.ok) << rendering.run.output;
        ASSERT_EQ(rendering.pages.size(), 1u);
        const auto& page = rendering.pages[0];
        EXPECT_TRUE(page.HasColourNearCentre(c.colour, 8, page.Width() / 3)) << c.name;
    }
}

TEST(WatermarkInInterpreter, DrawsTheTextItWasGiven) {
    TestDevice device;
    device.SetShort(dm::kSWatermarkOn, 1);
    device.SetWide(dm::kSzWatermarkText, u"a) (b\\");
    const auto run = RunGhostscript(Concat(device.Inject(PSINJECT_BEGINPROLOG)) +
                                    "userdict /DrawWaterMark get exec userdict /Watermark get ==\n");
    ASSERT_TRUE(run.ok) << run.output;
    EXPECT_NE(run.output.find("(a\\) \\(b\\\\)"), std::string::npos) << run.output;
}

} // namespace
