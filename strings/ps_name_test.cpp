#include "strings/ps_name.h"

#include "platform/host/host.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace klv {
namespace {

using namespace std::string_literals;

TEST(IsPsNameByte, RefusesWhiteSpaceControlsDelimitersAndBinaryTokenBytes) {
    const std::string refused = "\x00\x01\x09\x0A\x0C\x0D\x1F\x20()<>[]{}/%\x7F\x80\x8C\x9F"s;
    const std::string kept = "!\"#'*+-.09:;=?@AZ\\^_`az|~\xA0\xC6\xE0\xFF";
    for (char c : refused)
        EXPECT_FALSE(IsPsNameByte(static_cast<unsigned char>(c))) << int(static_cast<unsigned char>(c));
    for (char c : kept)
        EXPECT_TRUE(IsPsNameByte(static_cast<unsigned char>(c))) << int(static_cast<unsigned char>(c));
}

struct NameCase {
    UINT codePage;
    std::u16string name;
    std::string written; // what PsNameFromWide keeps, into 64 bytes
    bool whole;          // IsWholePsName
};

TEST(PsNameFromWide, KeepsWholeCharactersThatStandInAName) {
    const NameCase cases[] = {
        {1252, u"Helvetica-Bold", "Helvetica-Bold", true},
        {1252, u"Caf\u00E9", "Caf\xE9", true},
        {1252, u"\u0152uvre", "uvre", false}, // 0x8C starts a binary token
        {1252, u"Times Roman", "TimesRoman", false},
        {1252, u"A\u0001B\u007FC", "ABC", false},
        {1252, u"A\u4E2D", "A?", false}, // not in the code page: its replacement, as converted
        {1252, u"A\U0001F600", "A?", false},
        {1252, u"", "", false},
        {932, u"\u30B4\u30B7\u30C3\u30AF", "", false}, // lead bytes 0x83
        {932, u"A\u70AEB", "AB", false},               // trail byte '{'
        {932, u"A\u70CBB", "AB", false},               // trail byte '}'
        {932, u"\u958F X", "X", false},                // trail byte '['
        {932, u"\u71FF\u6F3E", "\xE0\xA0\xE0\x40", true},
        {932, u"\uFF71x", "\xB1x", true}, // a single-byte katakana
        // 64 bytes of room: a double-byte character that no longer fits
        // ends the name.
        {932, std::u16string(40, u'\u71FF'), std::string(62, 'X'), true},
    };
    for (const NameCase& c : cases) {
        SCOPED_TRACE(c.written);
        ASSERT_TRUE(host::SetAnsiCodePage(c.codePage));
        std::string written = c.written;
        if (c.name.size() == 40)
            for (std::size_t i = 0; i < written.size(); i += 2)
                written.replace(i, 2, "\xE0\xA0");
        std::vector<char> out(68, '#');
        EXPECT_EQ(PsNameFromWide(out.data(), 64, c.name.c_str(), 0xFFFFFFFF), written.size());
        EXPECT_EQ(std::string(out.data()), written);
        EXPECT_EQ(out[64], '#') << "written past the capacity";
        EXPECT_EQ(IsWholePsName(c.name.c_str(), static_cast<DWORD>(c.name.size())), c.whole);
    }
    host::SetAnsiCodePage(1252);
}

TEST(PsNameFromWide, ReadsNoFurtherThanMaxUnits) {
    char out[8];
    EXPECT_EQ(PsNameFromWide(out, sizeof out, u"abcdef", 3), 3u);
    EXPECT_STREQ(out, "abc");
    EXPECT_TRUE(IsWholePsName(u"ab(", 2));
    EXPECT_EQ(PsNameFromWide(out, 1, u"abc", 3), 0u);
    EXPECT_STREQ(out, "");
}

} // namespace
} // namespace klv
