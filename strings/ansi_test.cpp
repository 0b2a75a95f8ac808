#include "strings/ansi.h"

#include "platform/host/host.h"
#include "testing/utf16.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

namespace klv {
namespace {

constexpr DWORD kAll = 0xFFFFFFFF;

TEST(AnsiFromWide, ConvertsWholeCharactersWithinCapacity) {
    const std::u16string withPair = u"a" + testing::kSurrogatePair + u"b";
    // Code page, text, capacity, units to read at most, expected bytes.
    const std::tuple<UINT, const char16_t*, DWORD, DWORD, std::string> cases[] = {
        {1252, u"caf\u00E9", 128, kAll, "caf\xE9"},
        {1252, u"a\u4E00b", 128, kAll, "a?b"},
        {1252, nullptr, 4, kAll, ""},
        {1252, u"abc", 1, kAll, ""},
        {1252, u"abc", 4, kAll, "abc"},
        {1252, u"abcd", 4, kAll, "abc"},
        {1252, u"abcdef", 128, 2, "ab"},
        // A surrogate pair is one character: converted, or cut, whole.
        {1252, withPair.c_str(), 128, kAll, "a?b"},
        {1252, withPair.c_str(), 2, kAll, "a"},
        // A pair cut by the units read leaves a lone surrogate, as the
        // platform's conversion treats it.
        {1252, withPair.c_str(), 128, 2, "a?"},
        {932, u"a\u3042", 4, kAll, "a\x82\xA0"},
        {932, u"a\u3042", 3, kAll, "a"},
        {932, u"\u8868", 128, kAll, "\x95\x5C"},
        {932, u"\uFF71x", 128, kAll, "\xB1x"},
    };
    for (const auto& [codePage, text, capacity, maxUnits, expected] : cases) {
        SCOPED_TRACE(expected + " / " + std::to_string(capacity));
        ASSERT_TRUE(host::SetAnsiCodePage(codePage));
        std::vector<char> out(capacity + 4, '#');
        EXPECT_EQ(AnsiFromWide(out.data(), capacity, text, maxUnits), expected.size());
        EXPECT_EQ(std::string(out.data()), expected);
        for (std::size_t i = capacity; i < out.size(); ++i)
            ASSERT_EQ(out[i], '#') << "written past the capacity";
    }
    host::SetAnsiCodePage(1252);
    char out[2] = {'#', '#'};
    EXPECT_EQ(AnsiFromWide(out, 0, u"abc", kAll), 0u);
    EXPECT_EQ(out[0], '#');
}

} // namespace
} // namespace klv
