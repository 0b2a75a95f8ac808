#include "strings/escape.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

namespace klv {
namespace {

struct EscapeCase {
    const char* name;
    std::string text;
    DWORD capacity;
    std::string expected;
};
void PrintTo(const EscapeCase& c, std::ostream* os) {
    *os << c.name;
}

class EscapePsStringTest : public ::testing::TestWithParam<EscapeCase> {};

TEST_P(EscapePsStringTest, EscapesInPlace) {
    const EscapeCase& c = GetParam();
    // The text and its terminator, padded with guard bytes past the capacity.
    std::vector<char> buffer(c.text.begin(), c.text.end());
    buffer.push_back('\0');
    buffer.resize(std::max<std::size_t>(buffer.size(), c.capacity) + 8, '#');
    const std::vector<char> before = buffer;
    EscapePsString(buffer.data(), c.capacity);
    EXPECT_EQ(std::string(buffer.data()), c.expected);
    for (std::size_t i = c.expected.size(); i < c.capacity; ++i)
        ASSERT_EQ(buffer[i], '\0') << "the rest of the capacity is cleared, byte " << i;
    for (std::size_t i = c.capacity; i < buffer.size(); ++i)
        ASSERT_EQ(buffer[i], before[i]) << "nothing written past the capacity, byte " << i;
}

std::string Repeat(std::size_t count, char c) {
    return std::string(count, c);
}
std::string Pairs(std::size_t count, char c) {
    std::string out;
    for (std::size_t i = 0; i < count; ++i)
        out += std::string{'\\', c};
    return out;
}

INSTANTIATE_TEST_SUITE_P(
    Table, EscapePsStringTest,
    ::testing::Values(
        EscapeCase{"Parentheses", "Q3 (final).txt", 260, "Q3 \\(final\\).txt"},
        EscapeCase{"Backslash", "a\\b", 260, "a\\\\b"}, EscapeCase{"TwoOpen", "((", 260, "\\(\\("},
        EscapeCase{"Empty", "", 260, ""}, EscapeCase{"Capacity1", "abc", 1, ""},
        EscapeCase{"PlainFillsCapacity", Repeat(259, 'x'), 260, Repeat(259, 'x')},
        EscapeCase{"PlainCut", Repeat(10, 'x'), 5, "xxxx"},
        // A cut inside a pair drops the pair's backslash too.
        EscapeCase{"PairsCutAtWorkArea", Repeat(130, '('), 260, Pairs(129, '(')},
        EscapeCase{"PairsBeyondWorkArea", Repeat(200, '('), 260, Pairs(129, '(')},
        EscapeCase{"LastPairDropped", "(" + Repeat(257, 'a') + "(", 260, "\\(" + Repeat(257, 'a')},
        EscapeCase{"CutAfterWholePair", "ab(c", 5, "ab\\("}, EscapeCase{"CutInsidePair", "ab(", 4, "ab"},
        EscapeCase{"CutInsideDoubledBackslash", "ab\\", 4, "ab"},
        EscapeCase{"CutInsideClosing", "x)", 3, "x"},
        // Double-byte text is escaped byte by byte; a trail byte 0x5C is
        // doubled and so keeps its value in the PostScript string.
        EscapeCase{"TrailByteBackslash", "\x95\x5C", 260, "\x95\x5C\x5C"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(EscapePsString, NeverEndsInLoneBackslash) {
    // Every cut position of a text made only of pairs.
    const std::string text = "(\\)(\\)(\\)";
    for (DWORD capacity = 1; capacity <= 24; ++capacity) {
        std::vector<char> buffer(260, '\0');
        std::copy(text.begin(), text.end(), buffer.begin());
        EscapePsString(buffer.data(), capacity);
        const std::string escaped(buffer.data());
        ASSERT_LE(escaped.size(), capacity - 1);
        ASSERT_EQ(escaped.size() % 2, 0u) << "capacity " << capacity << ": " << escaped;
    }
}

} // namespace
} // namespace klv
