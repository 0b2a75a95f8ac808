#include "watermark/watermark.h"

#include "devmode/layout.h"
#include "platform/host/host.h"
#include "resources/resource_ids.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace klv {
namespace {

using Block = std::array<BYTE, dm::kSize>;

void PutWide(Block& block, DWORD offset, const std::u16string& text) {
    for (std::size_t i = 0; i <= text.size(); ++i)
        dm::PutU16(block.data(), offset + static_cast<DWORD>(2 * i), i < text.size() ? text[i] : 0);
}

// A device mode holding the defaults with the watermark switched on.
Block DefaultBlock() {
    Block block{};
    dm::PutU32(block.data(), dm::kDwSize, dm::kSize);
    dm::PutU32(block.data(), dm::kDwSignature, dm::kSignature);
    dm::PutU32(block.data(), dm::kDwVersion, dm::kVersion);
    dm::PutS16(block.data(), dm::kSFullPage, -1);
    dm::PutS16(block.data(), dm::kSWatermarkOn, 1);
    dm::PutS16(block.data(), dm::kSWatermarkAngle, 30);
    dm::PutU32(block.data(), dm::kLWatermarkSize, 72);
    dm::PutU32(block.data(), dm::kRgbWatermarkColor, 0x00E6E6E6);
    PutWide(block, dm::kSzWatermarkText, u"WaterMark");
    PutWide(block, dm::kSzWatermarkFont, u"Helvetica");
    return block;
}

std::string Build(const Block& block, DWORD* length = nullptr) {
    DWORD outLength = 0xDEADBEEF;
    char* text = BuildWatermarkProcset(block.data(), ThisModule(), &outLength);
    if (text == nullptr)
        return "<null>";
    std::string result(text);
    delete[] text;
    EXPECT_EQ(outLength, result.size());
    if (length != nullptr)
        *length = outLength;
    return result;
}

std::string TemplateText() {
    DWORD size = 0;
    const BYTE* bytes = LoadPsResource(ThisModule(), kWatermarkTemplateResource, &size);
    return bytes == nullptr ? std::string() : std::string(reinterpret_cast<const char*>(bytes), size);
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
    const std::size_t at = text.find(from);
    if (at != std::string::npos)
        text.replace(at, from.size(), to);
    return text;
}

std::string Repeat(int count, const std::string& unit) {
    std::string out;
    for (int i = 0; i < count; ++i)
        out += unit;
    return out;
}

std::string Line(const std::string& text, int index) {
    std::size_t start = 0;
    for (int i = 0; i < index; ++i)
        start = text.find("\r\n", start) + 2;
    return text.substr(start, text.find("\r\n", start) - start);
}

TEST(BuildWatermarkProcset, DefaultsByteExact) {
    DWORD length = 0;
    const std::string text = Build(DefaultBlock(), &length);
    EXPECT_EQ(length, 826u);
    ASSERT_EQ(text.size(), 826u);
    const std::string firstLines = "userdict /DrawWaterMark {\r\n"
                                   "userdict begin\r\n"
                                   "/Watermark (WaterMark) def\r\n"
                                   "/FontSize 72 def\r\n"
                                   "/WaterMarkColor {0.90 0.90 0.90 setrgbcolor} bind def\r\n"
                                   "/Angle 30 def\r\n"
                                   "/Font /Helvetica def\r\n";
    EXPECT_EQ(text.substr(0, firstLines.size()), firstLines);
    std::string expected = TemplateText();
    expected = Replace(expected, "%1!S!", "WaterMark");
    expected = Replace(expected, "%2!d!", "72");
    expected = Replace(expected, "%3", "0.90 0.90 0.90");
    expected = Replace(expected, "%4", "30");
    expected = Replace(expected, "%5!S!", "Helvetica");
    EXPECT_EQ(text, expected);
}

struct LineCase {
    const char* name;
    std::function<void(Block&)> change;
    int line; // 0-based line of the procedure
    std::string expected;
};
void PrintTo(const LineCase& c, std::ostream* os) {
    *os << c.name;
}

class WatermarkLineTest : public ::testing::TestWithParam<LineCase> {
protected:
    void TearDown() override { host::SetAnsiCodePage(1252); }
};

TEST_P(WatermarkLineTest, FillsInsert) {
    const LineCase& c = GetParam();
    Block block = DefaultBlock();
    c.change(block);
    EXPECT_EQ(Line(Build(block), c.line), c.expected);
}

void Colour(Block& b, BYTE r, BYTE g, BYTE bl) {
    dm::PutU32(b.data(), dm::kRgbWatermarkColor, r | (g << 8) | (bl << 16) | 0xFF000000u);
}

INSTANTIATE_TEST_SUITE_P(
    Inserts, WatermarkLineTest,
    ::testing::Values(
        LineCase{"ColourScale", [](Block& b) { Colour(b, 0, 128, 255); }, 4,
                 "/WaterMarkColor {0.00 0.50 1.00 setrgbcolor} bind def"},
        LineCase{"NegativeAngle", [](Block& b) { dm::PutS16(b.data(), dm::kSWatermarkAngle, -45); }, 5,
                 "/Angle -45 def"},
        LineCase{"SizeMinusOne", [](Block& b) { dm::PutU32(b.data(), dm::kLWatermarkSize, 0xFFFFFFFF); }, 3,
                 "/FontSize 4294967295 def"},
        LineCase{"EmptyText", [](Block& b) { PutWide(b, dm::kSzWatermarkText, u""); }, 2,
                 "/Watermark () def"},
        // Parentheses and backslashes in the text are escaped.
        LineCase{"BalancedParentheses", [](Block& b) { PutWide(b, dm::kSzWatermarkText, u"(a)"); }, 2,
                 "/Watermark (\\(a\\)) def"},
        LineCase{"UnbalancedParenthesis", [](Block& b) { PutWide(b, dm::kSzWatermarkText, u"a)b"); }, 2,
                 "/Watermark (a\\)b) def"},
        LineCase{"TrailingBackslash", [](Block& b) { PutWide(b, dm::kSzWatermarkText, u"a\\"); }, 2,
                 "/Watermark (a\\\\) def"},
        LineCase{"InjectionAttempt",
                 [](Block& b) { PutWide(b, dm::kSzWatermarkText, u"x) def erasepage (y"); }, 2,
                 "/Watermark (x\\) def erasepage \\(y) def"},
        LineCase{"LongestTextAllEscaped",
                 [](Block& b) { PutWide(b, dm::kSzWatermarkText, std::u16string(127, u'(')); }, 2,
                 "/Watermark (" + Repeat(127, "\\(") + ") def"},
        // A field without a terminator is read no further than its 128 units;
        // the text is cut to its 127-byte buffer.
        LineCase{"UnterminatedText",
                 [](Block& b) {
                     for (DWORD i = 0; i < 128; ++i)
                         dm::PutU16(b.data(), dm::kSzWatermarkText + 2 * i, u'a');
                     std::memset(b.data() + 980, 'b', 128);
                 },
                 2, "/Watermark (" + std::string(127, 'a') + ") def"},
        // Font names are kept to one PostScript name.
        LineCase{"FontWithSpace", [](Block& b) { PutWide(b, dm::kSzWatermarkFont, u"Times Roman"); }, 6,
                 "/Font /TimesRoman def"},
        LineCase{"FontWithDelimiters",
                 [](Block& b) { PutWide(b, dm::kSzWatermarkFont, u"Cour(ier)<>[]{}/%\t\r\nBold"); }, 6,
                 "/Font /CourierBold def"},
        LineCase{"FontOnlyDelimiters", [](Block& b) { PutWide(b, dm::kSzWatermarkFont, u" ( ) "); }, 6,
                 "/Font /Helvetica def"},
        // Double-byte text is cut between characters.
        LineCase{"DoubleByteTextCut",
                 [](Block& b) {
                     host::SetAnsiCodePage(932);
                     PutWide(b, dm::kSzWatermarkText, std::u16string(64, u'\u3042'));
                 },
                 2, "/Watermark (" + Repeat(63, "\x82\xA0") + ") def"},
        LineCase{"DoubleByteTrailBackslash",
                 [](Block& b) {
                     host::SetAnsiCodePage(932);
                     PutWide(b, dm::kSzWatermarkText, u"\u8868");
                 },
                 2, "/Watermark (\x95\x5C\x5C) def"},
        LineCase{"DoubleByteFontCut",
                 [](Block& b) {
                     host::SetAnsiCodePage(932);
                     PutWide(b, dm::kSzWatermarkFont, std::u16string(40, u'\u3042'));
                 },
                 6, "/Font /" + Repeat(31, "\x82\xA0") + " def"},
        // The trail byte of U+958F is '[': the character is kept whole.
        LineCase{"DoubleByteFontTrailDelimiter",
                 [](Block& b) {
                     host::SetAnsiCodePage(932);
                     PutWide(b, dm::kSzWatermarkFont, u"\u958F X");
                 },
                 6, "/Font /\x89\x5BX def"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(BuildWatermarkProcset, OffReturnsNullAndLeavesLength) {
    Block block = DefaultBlock();
    dm::PutS16(block.data(), dm::kSWatermarkOn, 0);
    DWORD length = 1234;
    EXPECT_EQ(BuildWatermarkProcset(block.data(), ThisModule(), &length), nullptr);
    EXPECT_EQ(length, 1234u);
}

TEST(BuildWatermarkProcset, AnyNonZeroSwitchIsOn) {
    Block block = DefaultBlock();
    dm::PutS16(block.data(), dm::kSWatermarkOn, -1);
    EXPECT_EQ(Build(block).size(), 826u);
}

TEST(BuildWatermarkProcset, NullInputs) {
    const Block block = DefaultBlock();
    DWORD length = 7;
    EXPECT_EQ(BuildWatermarkProcset(nullptr, ThisModule(), &length), nullptr);
    EXPECT_EQ(BuildWatermarkProcset(block.data(), nullptr, &length), nullptr);
    EXPECT_EQ(BuildWatermarkProcset(block.data(), ThisModule(), nullptr), nullptr);
    EXPECT_EQ(length, 7u);
}

TEST(BuildWatermarkProcset, ForeignModuleHasNoTemplate) {
    const Block block = DefaultBlock();
    DWORD length = 7;
    EXPECT_EQ(BuildWatermarkProcset(block.data(), reinterpret_cast<HMODULE>(0x10000), &length), nullptr);
}

TEST(FillPsTemplate, NullInputs) {
    DWORD length = 7;
    EXPECT_EQ(FillPsTemplate(nullptr, ThisModule(), "t", 1, "c", "a", "f"), nullptr);
    EXPECT_EQ(FillPsTemplate(&length, ThisModule(), nullptr, 1, "c", "a", "f"), nullptr);
    EXPECT_EQ(FillPsTemplate(&length, ThisModule(), "t", 1, nullptr, "a", "f"), nullptr);
    EXPECT_EQ(FillPsTemplate(&length, ThisModule(), "t", 1, "c", nullptr, "f"), nullptr);
    EXPECT_EQ(FillPsTemplate(&length, ThisModule(), "t", 1, "c", "a", nullptr), nullptr);
    EXPECT_EQ(length, 7u);
}

TEST(LoadPsResource, Template) {
    DWORD size = 0;
    const BYTE* bytes = LoadPsResource(ThisModule(), kWatermarkTemplateResource, &size);
    ASSERT_NE(bytes, nullptr);
    ASSERT_EQ(size, 809u);
    const std::string text(reinterpret_cast<const char*>(bytes), size);
    std::size_t lines = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n') {
            ASSERT_GT(i, 0u);
            ASSERT_EQ(text[i - 1], '\r') << "line ends are CR LF";
            ++lines;
        }
        ASSERT_NE(text[i], '\0');
    }
    EXPECT_EQ(lines, 41u);
    const std::string tail = "} bind put\r\n\r\n \r\n";
    EXPECT_EQ(text.substr(text.size() - tail.size()), tail) << "last two lines: empty and a space";
}

TEST(LoadPsResource, Invocation) {
    DWORD size = 0;
    const BYTE* bytes = LoadPsResource(ThisModule(), kWatermarkInvokeResource, &size);
    ASSERT_NE(bytes, nullptr);
    ASSERT_EQ(size, 39u);
    EXPECT_EQ(bytes[36], 0);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes)), "userdict /DrawWaterMark get exec\r\n\r\n");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes) + 37, 2), "\r\n");
}

TEST(LoadPsResource, MissingLeavesSize) {
    DWORD size = 55;
    EXPECT_EQ(LoadPsResource(ThisModule(), 3, &size), nullptr);
    EXPECT_EQ(LoadPsResource(reinterpret_cast<HMODULE>(0x10000), kWatermarkTemplateResource, &size), nullptr);
    EXPECT_EQ(size, 55u);
}

} // namespace
} // namespace klv
