#include "watermark/watermark.h"

#include "devmode/devmode.h"
#include "devmode/layout.h"
#include "platform/host/host.h"
#include "resources/resource_ids.h"
#include "testing/utf16.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <tuple>

namespace klv {
namespace {

using namespace std::string_literals;
using Block = std::array<BYTE, dm::kSize>;

// The default device mode with the watermark switched on.
Block DefaultBlock() {
    Block block{};
    ApplyDevModeDefaults(block.data());
    dm::PutS16(block.data(), dm::kSWatermarkOn, 1);
    return block;
}

std::string Build(const Block& block) {
    DWORD outLength = 0xDEADBEEF;
    char* text = BuildWatermarkProcset(block.data(), ThisModule(), &outLength);
    const std::string result = text != nullptr ? text : "<null>";
    delete[] text;
    EXPECT_EQ(outLength, result.size());
    return result;
}

std::string Repeat(int count, const std::string& unit) {
    return count == 0 ? "" : unit + Repeat(count - 1, unit);
}

TEST(BuildWatermarkProcset, DefaultsByteExact) {
    const std::string text = Build(DefaultBlock());
    ASSERT_EQ(text.size(), 826u);
    const std::string firstLines = "userdict /DrawWaterMark {\r\n"
                                   "userdict begin\r\n"
                                   "/Watermark (WaterMark) def\r\n"
                                   "/FontSize 72 def\r\n"
                                   "/WaterMarkColor {0.90 0.90 0.90 setrgbcolor} bind def\r\n"
                                   "/Angle 30 def\r\n"
                                   "/Font /Helvetica def\r\n";
    // The inserts all sit in those lines; the rest is the template's own.
    DWORD size = 0;
    const BYTE* bytes = LoadPsResource(ThisModule(), kWatermarkTemplateResource, &size);
    ASSERT_NE(bytes, nullptr);
    const std::string templateText(reinterpret_cast<const char*>(bytes), size);
    const std::string lastInsertLine = "/Font /%5!S! def\r\n";
    const std::size_t rest = templateText.find(lastInsertLine) + lastInsertLine.size();
    EXPECT_EQ(text, firstLines + templateText.substr(rest));
}

// Each row stores 16-bit units at a field of the default block and expects
// one line of the procedure.
TEST(BuildWatermarkProcset, FillsEachInsert) {
    const DWORD text = dm::kSzWatermarkText, font = dm::kSzWatermarkFont;
    const std::tuple<UINT, DWORD, std::u16string, std::string> cases[] = {
        // Colour 0, 128, 255; angle -45; size -1.
        {1252, dm::kRgbWatermarkColor, u"\x8000\xFFFF",
         "/WaterMarkColor {0.00 0.50 1.00 setrgbcolor} bind def"},
        {1252, dm::kSWatermarkAngle, u"\xFFD3", "/Angle -45 def"},
        {1252, dm::kLWatermarkSize, u"\xFFFF\xFFFF", "/FontSize 4294967295 def"},
        // The text stays one PostScript string, however long.
        {1252, text, u"x) def erasepage (y"s + u'\0', "/Watermark (x\\) def erasepage \\(y) def"},
        {1252, text, u"a\\"s + u'\0', "/Watermark (a\\\\) def"},
        {1252, text, std::u16string(127, u'(') + u'\0', "/Watermark (" + Repeat(127, "\\(") + ") def"},
        // A field without a terminator is read no further than its 128 units
        // and cut to the 127-byte text.
        {1252, text, std::u16string(128, u'a') + std::u16string(64, u'\x6262'),
         "/Watermark (" + std::string(127, 'a') + ") def"},
        // The font stays one PostScript name, or falls back to Helvetica.
        {1252, font, u"Cour(ier)<>[]{}/% \t\r\nBold"s + u'\0', "/Font /CourierBold def"},
        {1252, font, u" ( ) "s + u'\0', "/Font /Helvetica def"},
        // Double-byte text and names are cut between characters.
        {932, text, std::u16string(64, u'\u3042') + u'\0', "/Watermark (" + Repeat(63, "\x82\xA0") + ") def"},
        {932, text, u"\u8868"s + u'\0', "/Watermark (\x95\x5C\x5C) def"},
        // A surrogate pair is one character, never split into two.
        {1252, text, u"a" + testing::kSurrogatePair + u"b" + u'\0', "/Watermark (a?b) def"},
        {932, font, std::u16string(40, u'\u3042') + u'\0', "/Font /" + Repeat(31, "\x82\xA0") + " def"},
        // The trail byte of U+958F is '[': the character is kept whole.
        {932, font, u"\u958F X"s + u'\0', "/Font /\x89\x5BX def"},
    };
    for (const auto& [codePage, offset, units, line] : cases) {
        ASSERT_TRUE(host::SetAnsiCodePage(codePage));
        Block block = DefaultBlock();
        testing::PutUnits(block.data(), offset, units);
        const std::string procedure = Build(block);
        EXPECT_NE(procedure.find("\r\n" + line + "\r\n"), std::string::npos) << line << "\n" << procedure;
    }
    host::SetAnsiCodePage(1252);
}

// Any switch value but 0 turns the watermark on; off, or without an input,
// there is no procedure and the length is left alone.
TEST(BuildWatermarkProcset, OffOrMissingInputs) {
    Block block = DefaultBlock();
    dm::PutS16(block.data(), dm::kSWatermarkOn, -1);
    EXPECT_EQ(Build(block).size(), 826u);
    DWORD length = 7;
    EXPECT_EQ(BuildWatermarkProcset(nullptr, ThisModule(), &length), nullptr);
    EXPECT_EQ(BuildWatermarkProcset(block.data(), nullptr, &length), nullptr);
    EXPECT_EQ(BuildWatermarkProcset(block.data(), ThisModule(), nullptr), nullptr);
    EXPECT_EQ(BuildWatermarkProcset(block.data(), reinterpret_cast<HMODULE>(0x10000), &length), nullptr);
    dm::PutS16(block.data(), dm::kSWatermarkOn, 0);
    EXPECT_EQ(BuildWatermarkProcset(block.data(), ThisModule(), &length), nullptr);
    EXPECT_EQ(FillPsTemplate(nullptr, ThisModule(), "t", 1, "c", "a", "f"), nullptr);
    EXPECT_EQ(FillPsTemplate(&length, ThisModule(), nullptr, 1, "c", "a", "f"), nullptr);
    EXPECT_EQ(FillPsTemplate(&length, ThisModule(), "t", 1, nullptr, "a", "f"), nullptr);
    EXPECT_EQ(FillPsTemplate(&length, ThisModule(), "t", 1, "c", nullptr, "f"), nullptr);
    EXPECT_EQ(FillPsTemplate(&length, ThisModule(), "t", 1, "c", "a", nullptr), nullptr);
    EXPECT_EQ(length, 7u);
    DWORD size = 55;
    EXPECT_EQ(LoadPsResource(ThisModule(), 3, &size), nullptr);
    EXPECT_EQ(LoadPsResource(reinterpret_cast<HMODULE>(0x10000), kWatermarkTemplateResource, &size), nullptr);
    EXPECT_EQ(size, 55u);
}

} // namespace
} // namespace klv
