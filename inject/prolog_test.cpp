// The prolog's page settings: the page-origin patch, the watermark
// procedure and the flip key, byte for byte and in a PostScript interpreter.
#include "devmode/layout.h"
#include "platform/host/host.h"
#include "testing/require_ghostscript.h"
#include "testing/test_device.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
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

// The watermark procedure of a device with the given font name, followed by
// one invocation of it.
std::string ProcedureAndInvocation(TestDevice& device, const std::u16string& font) {
    device.SetShort(dm::kSWatermarkOn, 1);
    device.SetWide(dm::kSzWatermarkFont, font);
    return Concat(device.Inject(PSINJECT_BEGINPROLOG)) + Concat(device.Inject(PSINJECT_BEGINPAGESETUP));
}

struct FontNameCase {
    UINT codePage;
    std::u16string font;
    std::string written; // the font's name in "/Font /... def"
};

// Font names whose raw bytes broke whole jobs: binary-token bytes, and trail
// bytes that are delimiters. The job now runs, with what is left of each.
TEST(WatermarkInInterpreter, FontNamesOfAnyCodePageKeepTheJobRunning) {
    const FontNameCase cases[] = {
        {932, u"\u30B4\u30B7\u30C3\u30AF", "Helvetica"},
        {932, u"A\u70AEB", "AB"},
        {932, u"A\u70CBB", "AB"},
        {1252, u"\u0152uvre", "uvre"},
        {932, u"Mincho\u30B4 \u70AE(\u71FF)\uFF71-W3", "Mincho\xE0\xA0\xB1-W3"},
        {1252, u"Times\u2020Roman \u00C6", "TimesRoman\xC6"},
    };
    for (const FontNameCase& c : cases) {
        SCOPED_TRACE(c.written);
        ASSERT_TRUE(klv::host::SetAnsiCodePage(c.codePage));
        TestDevice device;
        const std::string job = ProcedureAndInvocation(device, c.font);
        EXPECT_NE(job.find("\r\n/Font /" + c.written + " def\r\n"), std::string::npos) << job;
        const auto run = RunGhostscript("%!PS\n" + job + "(page done) print\n");
        EXPECT_TRUE(run.ok) << run.output;
        EXPECT_NE(run.output.find("page done"), std::string::npos) << run.output;
    }
    klv::host::SetAnsiCodePage(1252);
}

// Up to 63 UTF-16 units drawn from the ranges that matter to a name: ASCII,
// delimiters and controls, Latin-1, the C1 range, characters that code page
// 1252 maps to 0x80-0x9F, kana, CJK, half-width kana and surrogates, paired
// or not.
std::u16string RandomFontName(std::mt19937& random) {
    struct Range {
        char16_t first, last;
    };
    static const Range kRanges[] = {{0x21, 0x7E},     {0x01, 0x20},     {0x7F, 0xFF},     {0x0152, 0x0153},
                                    {0x2018, 0x2022}, {0x20AC, 0x20AC}, {0x3041, 0x30FF}, {0x4E00, 0x9FFF},
                                    {0xFF61, 0xFF9F}, {0xD800, 0xDFFF}, {0xE000, 0xFFFF}};
    std::uniform_int_distribution<int> length(1, 63);
    std::uniform_int_distribution<std::size_t> pick(0, std::size(kRanges) - 1);
    std::u16string name(static_cast<std::size_t>(length(random)), u'A');
    for (char16_t& unit : name) {
        const Range& range = kRanges[pick(random)];
        unit = static_cast<char16_t>(std::uniform_int_distribution<int>(range.first, range.last)(random));
    }
    return name;
}

// Whatever the font name, the procedure parses and runs: many random names
// per code page, each procedure defined and invoked in one interpreter run.
TEST(WatermarkInInterpreter, RandomFontNamesAlwaysParse) {
    constexpr int kNames = 150;
    std::mt19937 random(13);
    for (UINT codePage : {1252u, 932u}) {
        SCOPED_TRACE(codePage);
        ASSERT_TRUE(klv::host::SetAnsiCodePage(codePage));
        std::vector<std::u16string> names;
        std::string job = "%!PS\n";
        for (int i = 0; i < kNames; ++i) {
            names.push_back(RandomFontName(random));
            TestDevice device;
            job += ProcedureAndInvocation(device, names.back()) + "(name " + std::to_string(i) + ") =\n";
        }
        const auto run = RunGhostscript(job);
        const std::size_t last = run.output.rfind("name ");
        const int reached = last == std::string::npos ? -1 : std::atoi(run.output.c_str() + last + 5);
        std::string failing;
        if (reached + 1 < kNames)
            for (char16_t unit : names[static_cast<std::size_t>(reached + 1)]) {
                char hex[8];
                std::snprintf(hex, sizeof hex, " %04X", static_cast<unsigned>(unit));
                failing += hex;
            }
        EXPECT_TRUE(run.ok) << "font name" << failing << "\n" << run.output.substr(run.output.size() > 2000 ? run.output.size() - 2000 : 0);
        EXPECT_EQ(reached, kNames - 1) << "font name" << failing;
    }
    klv::host::SetAnsiCodePage(1252);
}

} // namespace
