// The prolog's page settings: the page-origin patch, the watermark
// procedure and the flip key, byte for byte and in a PostScript interpreter.
#include "devmode/layout.h"
#include "testing/require_ghostscript.h"
#include "testing/test_device.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

namespace {

using klv::gs::RunGhostscript;
using klv::testing::Concat;
using klv::testing::TestDevice;
namespace dm = klv::dm;

const std::string kPatchHead =
    "/klvdeforig /def load def userdict begin /klvdef { exch dup (mysetup) eq { exch systemdict /def get "
    "exec mysetup 4 get dup 20 lt { pop mysetup 4 0 put } { 15 add mysetup exch 4 exch put } ";
const std::string kPatchTail =
    "ifelse mysetup 5 get dup 20 lt { pop mysetup 5 0 put } { 15 add mysetup exch 5 exch put } ifelse } "
    "{ exch systemdict /def get exec } ifelse } bind def /def /klvdef load def end\r\n";
const std::string kFlip = " userdict /kelvo$flip true put \r\n";

// Each part by its own switch: any value but 0 turns the watermark and the
// flip on, a positive one the patch.
TEST(Prolog, PartsByTheirSwitches) {
    const std::vector<std::string> none, patch = {kPatchHead, kPatchTail}, flip = {kFlip};
    for (short fullPage : {-1, 0, 1, 2, 32767}) {
        for (short watermarkOn : {0, 1, -1}) {
            SCOPED_TRACE(testing::Message() << "full page " << fullPage << ", watermark " << watermarkOn);
            TestDevice device;
            device.SetShort(dm::kSFullPage, fullPage);
            device.SetShort(dm::kSWatermarkOn, watermarkOn);
            device.SetShort(dm::kSFlip, fullPage);
            auto writes = device.Inject(PSINJECT_BEGINPROLOG);
            if (watermarkOn != 0) {
                ASSERT_FALSE(writes.empty());
                EXPECT_EQ(writes.back().size(), 826u);
                EXPECT_EQ(writes.back().rfind("userdict /DrawWaterMark {\r\n", 0), 0u);
                writes.pop_back();
            }
            EXPECT_EQ(writes, fullPage > 0 ? patch : none);
            EXPECT_EQ(device.Inject(PSINJECT_ENDPROLOG), fullPage != 0 ? flip : none);
        }
    }
}

// The patch moves the origin of mysetup and nothing else; the flip key is
// set; the watermark text, parentheses and backslashes included, reads back
// as given.
TEST(PrologInInterpreter, PatchFlipKeyAndWatermarkText) {
    KLV_REQUIRE_GHOSTSCRIPT();
    TestDevice device;
    device.SetShort(dm::kSFullPage, 1);
    device.SetShort(dm::kSFlip, 1);
    device.SetShort(dm::kSWatermarkOn, 1);
    device.SetWide(dm::kSzWatermarkText, u"a) (b\\");
    const auto run = RunGhostscript(Concat(device.Inject(PSINJECT_BEGINPROLOG)) +
                                    Concat(device.Inject(PSINJECT_ENDPROLOG)) +
                                    "/mysetup [1 0 0 1 10 30] def mysetup ==\n"
                                    "/mysetup [1 0 0 1 20 19.5] def mysetup ==\n"
                                    "/other [1 0 0 1 10 30] def other ==\n"
                                    "/n 5 def n ==\n"
                                    "/mysetupx [1 0 0 1 10 10] def mysetupx ==\n"
                                    "userdict /kelvo$flip get ==\n"
                                    "userdict /DrawWaterMark get exec userdict /Watermark get ==\n");
    ASSERT_TRUE(run.ok) << run.output;
    EXPECT_EQ(run.output, "[1 0 0 1 0 45]\n[1 0 0 1 35 0]\n[1 0 0 1 10 30]\n5\n[1 0 0 1 10 10]\ntrue\n"
                          "(a\\) \\(b\\\\)\n");
}

TEST(WatermarkInInterpreter, PaintsTheChosenColourAtTheCentre) {
    KLV_REQUIRE_GHOSTSCRIPT();
    const std::tuple<const char*, std::u16string, std::u16string, klv::gs::Rgb> cases[] = {
        {"defaults", u"WaterMark", u"Helvetica", {230, 230, 230}},
        {"unbalanced parenthesis", u"DRAFT) (COPY", u"Helvetica", {255, 0, 0}},
        {"backslashes", u"C:\\MEMO\\", u"Times-Roman", {0, 0, 255}},
        {"injection attempt", u") def /Watermark (HACKED", u"Courier", {0, 128, 0}},
        {"font name with spaces", u"CONFIDENTIAL", u"Times Bold", {255, 0, 0}},
        {"font name of delimiters only", u"XXXX", u"() []", {0, 0, 255}},
    };
    for (const auto& [name, text, font, colour] : cases) {
        SCOPED_TRACE(name);
        TestDevice device;
        device.SetShort(dm::kSWatermarkOn, 1);
        device.SetShort(dm::kSWatermarkAngle, 0);
        device.SetWide(dm::kSzWatermarkText, text);
        device.SetWide(dm::kSzWatermarkFont, font);
        const BYTE rgb[] = {colour.r, colour.g, colour.b};
        std::copy(rgb, rgb + 3, device.Settings() + dm::kRgbWatermarkColor);
        const auto rendering =
            klv::gs::RenderPages("%!PS\n" + Concat(device.Inject(PSINJECT_BEGINPROLOG)) +
                                 Concat(device.Inject(PSINJECT_BEGINPAGESETUP)) + "showpage\n");
        ASSERT_TRUE(rendering.run.ok) << rendering.run.output;
        ASSERT_EQ(rendering.pages.size(), 1u);
        EXPECT_TRUE(rendering.pages[0].HasColourNearCentre(colour, 8, rendering.pages[0].Width() / 3));
    }
}

} // namespace
