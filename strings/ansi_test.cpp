#include "strings/ansi.h"

#include "platform/host/host.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace klv {
namespace {

struct AnsiCase {
    const char* name;
    UINT codePage;
    std::u16string text;
    DWORD capacity;
    DWORD maxUnits;
    std::string expected;
};
void PrintTo(const AnsiCase& c, std::ostream* os) {
    *os << c.name;
}

class AnsiFromWideTest : public ::testing::TestWithParam<AnsiCase> {
protected:
    void TearDown() override { host::SetAnsiCodePage(1252); }
};

TEST_P(AnsiFromWideTest, ConvertsWholeCharacters) {
    const AnsiCase& c = GetParam();
    ASSERT_TRUE(host::SetAnsiCodePage(c.codePage));
    std::vector<WCHAR> wide(c.text.begin(), c.text.end());
    wide.push_back(0);
    std::vector<char> out(c.capacity + 4, '#');
    EXPECT_EQ(AnsiFromWide(out.data(), c.capacity, wide.data(), c.maxUnits), c.expected.size());
    EXPECT_EQ(std::string(out.data()), c.expected);
    for (std::size_t i = c.capacity; i < out.size(); ++i)
        ASSERT_EQ(out[i], '#') << "nothing written past the capacity";
}

constexpr DWORD kAll = 0xFFFFFFFF;

INSTANTIATE_TEST_SUITE_P(
    Table, AnsiFromWideTest,
    ::testing::Values(AnsiCase{"Plain", 1252, u"WaterMark", 128, kAll, "WaterMark"},
                      AnsiCase{"Latin1", 1252, u"caf\u00E9", 128, kAll, "caf\xE9"},
                      AnsiCase{"Unmappable", 1252, u"a\u4E00b", 128, kAll, "a?b"},
                      AnsiCase{"Empty", 1252, u"", 128, kAll, ""},
                      AnsiCase{"Capacity1", 1252, u"abc", 1, kAll, ""},
                      AnsiCase{"ExactFit", 1252, u"abc", 4, kAll, "abc"},
                      AnsiCase{"CutOneOver", 1252, u"abcd", 4, kAll, "abc"},
                      AnsiCase{"MaxUnits", 1252, u"abcdef", 128, 2, "ab"},
                      // A surrogate pair is one character: converted, or cut, whole.
                      AnsiCase{"SurrogatePair", 1252, u"a\U0001F600b", 128, kAll, "a?b"},
                      AnsiCase{"SurrogatePairCut", 1252, u"a\U0001F600", 2, kAll, "a"},
                      AnsiCase{"DoubleByte", 932, u"a\u3042", 128, kAll, "a\x82\xA0"},
                      AnsiCase{"DoubleByteExactFit", 932, u"a\u3042", 4, kAll, "a\x82\xA0"},
                      AnsiCase{"DoubleByteDroppedWhole", 932, u"a\u3042", 3, kAll, "a"},
                      AnsiCase{"TrailByteBackslash", 932, u"\u8868", 128, kAll, "\x95\x5C"},
                      AnsiCase{"SingleByteKatakana", 932, u"\uFF71x", 128, kAll, "\xB1x"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(AnsiFromWide, NullTextGivesEmptyString) {
    char out[4] = {'#', '#', '#', '#'};
    EXPECT_EQ(AnsiFromWide(out, sizeof out, nullptr, kAll), 0u);
    EXPECT_EQ(out[0], '\0');
}

TEST(AnsiFromWide, CapacityZeroWritesNothing) {
    char out[2] = {'#', '#'};
    EXPECT_EQ(AnsiFromWide(out, 0, u"abc", kAll), 0u);
    EXPECT_EQ(out[0], '#');
}

} // namespace
} // namespace klv
