#include "libraries/settings/devmode_fields.h"

#include "devmode/layout.h"
#include "platform/host/host.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace klv::settings {
namespace {

using namespace std::string_literals;

struct NumberCase {
    std::string value;
    long long stored; // the angle stored when accepted
};

TEST(ApplyAssignment, NumbersAreASignAndDigitsOnly) {
    const NumberCase accepted[] = {{"45", 45},   {"-45", -45}, {"+45", 45},       {"007", 7},
                                   {"0x10", 16}, {"0X1f", 31}, {"-32768", -32768}};
    for (const NumberCase& c : accepted) {
        std::vector<std::uint8_t> block(dm::kSize, 0);
        std::string error;
        ASSERT_TRUE(ApplyAssignment(block, "sWatermarkAngle=" + c.value, &error)) << c.value << ": " << error;
        EXPECT_EQ(dm::S16(block.data(), dm::kSWatermarkAngle), c.stored) << c.value;
    }
    // Every malformed number gets the same message, and changes nothing.
    const std::string malformed[] = {
        "\r45", "\v45", "\f45", "\t45", " 45", "45 ",   "45\n", "4 5", "",        "+",
        "-",    "--4",  "+-4",  "0x",   "0xg", "-0x10", "1e3",  "4.5", "\u0665"s, "\xEF\xBC\x94\xEF\xBC\x95"s,
        "45\0"s};
    for (const std::string& value : malformed) {
        std::vector<std::uint8_t> block(dm::kSize, 0);
        std::string error;
        EXPECT_FALSE(ApplyAssignment(block, "sWatermarkAngle=" + value, &error)) << value;
        EXPECT_EQ(error, "sWatermarkAngle: '" + value + "' is not a number");
        EXPECT_EQ(block, std::vector<std::uint8_t>(dm::kSize, 0)) << value;
    }
    // Well formed, but too large for the field or for any number.
    for (const std::string& value : {"32768"s, "-99999999999999999999999"s, "0x10000"s}) {
        std::vector<std::uint8_t> block(dm::kSize, 0);
        std::string error;
        EXPECT_FALSE(ApplyAssignment(block, "sWatermarkAngle=" + value, &error)) << value;
        EXPECT_NE(error.find("is outside -32768 to 32767"), std::string::npos) << error;
    }
}

struct FontCase {
    UINT codePage;
    std::string font; // UTF-8
    bool accepted;
};

// A font name is accepted only when the plug-in would write it as given.
TEST(ApplyAssignment, FontNamesThePlugInWritesAsGiven) {
    const FontCase cases[] = {
        {1252, "Times-Roman", true},
        {1252, "Caf\u00e9", true},
        {1252, "Times Roman", false},
        {1252, "(Times)", false},
        {1252, "\u0152uvre", false}, // 0x8C starts a binary token
        {1252, "Font\u4e2d", false}, // not in the code page
        {1252, "", false},
        {932, "\u71ff\u6f3e", true},
        {932, "\u30b4\u30b7\u30c3\u30af", false}, // lead bytes 0x83
        {932, "A\u70aeB", false},                 // trail byte '{'
    };
    for (const FontCase& c : cases) {
        ASSERT_TRUE(host::SetAnsiCodePage(c.codePage));
        std::vector<std::uint8_t> block(dm::kSize, 0);
        std::string error;
        EXPECT_EQ(ApplyAssignment(block, "szWatermarkFont=" + c.font, &error), c.accepted) << c.font;
        if (!c.accepted) {
            EXPECT_NE(error.find("is not a PostScript font name"), std::string::npos) << error;
        }
    }
    host::SetAnsiCodePage(1252);
}

} // namespace
} // namespace klv::settings
