#include "libraries/settings/settings.h"

#include "libraries/settings/settings_doc.h"
#include "libraries/support/files.h"

#include "devmode/layout.h"
#include "platform/host/host.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace klv::settings {
namespace {

struct TextCase {
    Id id;
    std::string text;
    Problem problem; // kNone: accepted
};

// What a person may type for each kind of setting; every front end parses
// with these rules, so one table covers them all.
TEST(SetFromText, AcceptsEachKindsFormsAndRefusesTheRest) {
    const TextCase cases[] = {
        {Id::kWatermarkSize, "1", Problem::kNone},
        {Id::kWatermarkSize, "2147483647", Problem::kNone},
        {Id::kWatermarkSize, "0", Problem::kOutOfRange},
        {Id::kWatermarkSize, "-5", Problem::kOutOfRange},
        {Id::kWatermarkSize, "2147483648", Problem::kOutOfRange},
        {Id::kWatermarkSize, "99999999999999999999999", Problem::kOutOfRange},
        {Id::kWatermarkSize, "0x10", Problem::kNotANumber},
        {Id::kWatermarkSize, " 72", Problem::kNotANumber},
        {Id::kWatermarkSize, "7.5", Problem::kNotANumber},
        {Id::kWatermarkAngle, "-32768", Problem::kNone},
        {Id::kWatermarkAngle, "+45", Problem::kNone},
        {Id::kWatermarkAngle, "32768", Problem::kOutOfRange},
        {Id::kWatermarkColor, "200,40,40", Problem::kNone},
        {Id::kWatermarkColor, "#C82828", Problem::kNone},
        {Id::kWatermarkColor, "c82828", Problem::kNone},
        {Id::kWatermarkColor, "256,0,0", Problem::kNotAColour},
        {Id::kWatermarkColor, "1,2", Problem::kNotAColour},
        {Id::kWatermarkColor, "#C8282", Problem::kNotAColour},
        {Id::kFlip, "Yes", Problem::kNone},
        {Id::kFlip, "OFF", Problem::kNone},
        {Id::kFlip, "maybe", Problem::kNotASwitch},
        {Id::kWatermarkFont, "Times-Roman", Problem::kNone},
        {Id::kWatermarkFont, "Times Roman", Problem::kNotFontName},
        {Id::kWatermarkFont, "", Problem::kNotFontName},
        {Id::kJobPassword, "1234", Problem::kNone},
        {Id::kJobPassword, "12345", Problem::kTooLong},
        {Id::kJobName, std::string(80, 'n'), Problem::kNone},
        {Id::kJobName, std::string(81, 'n'), Problem::kTooLong},
        {Id::kJobName, "\xC3(", Problem::kNotUtf8},
        {Id::kWatermark, std::string(127, 'w'), Problem::kNone},
        {Id::kWatermark, std::string(128, 'w'), Problem::kTooLong},
    };
    ASSERT_TRUE(host::SetAnsiCodePage(1252));
    for (const TextCase& c : cases) {
        SCOPED_TRACE(std::string(SettingOf(c.id).key) + "=" + c.text);
        std::vector<std::uint8_t> block(dm::kSize, 0xAB);
        const std::vector<std::uint8_t> before = block;
        const Refusal r = SetFromText(block, c.id, c.text);
        EXPECT_EQ(r.problem, c.problem) << Describe(r);
        if (c.problem != Problem::kNone) {
            EXPECT_EQ(block, before); // a refused value changes nothing
        }
    }
}

struct StoredCase {
    Id id;
    std::string text;
    DWORD offset;
    std::vector<std::uint8_t> bytes; // at offset afterwards
};

TEST(SetFromText, StoresTheFieldsBytes) {
    const StoredCase cases[] = {
        {Id::kWatermarkAngle, "-2", dm::kSWatermarkAngle, {0xFE, 0xFF}},
        {Id::kWatermarkSize, "2147483647", dm::kLWatermarkSize, {0xFF, 0xFF, 0xFF, 0x7F}},
        // The colour's fourth byte is never read and keeps what it held.
        {Id::kWatermarkColor, "#010203", dm::kRgbWatermarkColor, {1, 2, 3, 0xAB}},
        {Id::kFullPage, "false", dm::kSFullPage, {0xFF, 0xFF}}, // off is -1
        {Id::kFlip, "on", dm::kSFlip, {1, 0}},
        // A text clears the rest of its field.
        {Id::kJobPassword, "ab", dm::kSzJobPassword, {'a', 0, 'b', 0, 0, 0, 0, 0, 0, 0, 0xAB}},
        // The watermark's text switches it on.
        {Id::kWatermark, "X", dm::kSWatermarkOn, {1, 0}},
    };
    for (const StoredCase& c : cases) {
        SCOPED_TRACE(std::string(SettingOf(c.id).key) + "=" + c.text);
        std::vector<std::uint8_t> block(dm::kSize, 0xAB);
        ASSERT_FALSE(SetFromText(block, c.id, c.text));
        EXPECT_EQ(
            std::vector<std::uint8_t>(block.begin() + c.offset, block.begin() + c.offset + c.bytes.size()),
            c.bytes);
    }
}

TEST(SetFromText, WatermarkWordsSwitchItWithoutTouchingTheText) {
    std::vector<std::uint8_t> block(dm::kSize, 0);
    ASSERT_FALSE(SetFromText(block, Id::kWatermark, "DRAFT"));
    for (const char* off : {"none", "", "Off", "false", "no"}) {
        ASSERT_FALSE(SetFromText(block, Id::kWatermark, off));
        EXPECT_EQ(dm::S16(block.data(), dm::kSWatermarkOn), 0) << off;
    }
    ASSERT_FALSE(SetFromText(block, Id::kWatermark, "TRUE"));
    EXPECT_EQ(dm::S16(block.data(), dm::kSWatermarkOn), 1);
    EXPECT_EQ(dm::U16(block.data(), dm::kSzWatermarkText), u'D'); // DRAFT kept
}

TEST(Describe, NamesTheLimitInTheSettingsUnit) {
    std::vector<std::uint8_t> block(dm::kSize, 0);
    EXPECT_EQ(Describe(SetFromText(block, Id::kWatermarkAngle, "99999")),
              "99999 is outside -32768 to 32767 degrees");
    EXPECT_EQ(Describe(SetFromText(block, Id::kJobPassword, "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9")),
              "5 characters, at most 4 allowed");
}

// The README's table of settings is this table's; after a change of a row,
// paste the expected table there.
TEST(MarkdownTable, IsTheOneInTheReadme) {
    const std::string readme = support::ReadWholeFile(KLVPS_README_PATH);
    EXPECT_NE(readme.find(MarkdownTable()), std::string::npos) << "the README's settings table should read:\n"
                                                               << MarkdownTable();
}

} // namespace
} // namespace klv::settings
