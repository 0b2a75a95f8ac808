#include "strings/bounded.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace klv {
namespace {

constexpr char kGuard = '#';

// One call on a 32-byte destination that starts as `initial` (no terminator
// added) followed by guard bytes.
struct Case {
    const char* name;
    std::string initial;
    DWORD capacity;
    std::function<HRESULT(char*, DWORD)> call;
    HRESULT result;
    std::string expected; // the destination's first bytes afterwards
};
void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

class BoundedTest : public ::testing::TestWithParam<Case> {};

TEST_P(BoundedTest, WritesWithinCapacity) {
    const Case& c = GetParam();
    std::vector<char> buffer(32, kGuard);
    std::copy(c.initial.begin(), c.initial.end(), buffer.begin());
    const std::vector<char> before = buffer;
    EXPECT_EQ(c.call(buffer.data(), c.capacity), c.result);
    EXPECT_EQ(std::string(buffer.data(), c.expected.size()), c.expected);
    // Nothing past the written text, and nothing at or past the capacity.
    const std::size_t untouched = std::min<std::size_t>(c.expected.size(), c.capacity);
    for (std::size_t i = std::max<std::size_t>(untouched, c.initial.size()); i < buffer.size(); ++i)
        ASSERT_EQ(buffer[i], before[i]) << "byte " << i;
}

std::function<HRESULT(char*, DWORD)> Copy(const char* source) {
    return [source](char* d, DWORD n) { return BoundedCopy(d, n, source); };
}
std::function<HRESULT(char*, DWORD)> Append(const char* source) {
    return [source](char* d, DWORD n) { return BoundedAppend(d, n, source); };
}
std::function<HRESULT(char*, DWORD)> Int(const char* format, int value) {
    return [format, value](char* d, DWORD n) { return BoundedFormat(d, n, format, value); };
}
std::function<HRESULT(char*, DWORD)> Colour(double r, double g, double b) {
    return [r, g, b](char* d, DWORD n) { return BoundedFormat(d, n, "%1.2f %1.2f %1.2f", r, g, b); };
}
std::function<HRESULT(char*, DWORD)> Text(std::size_t length) {
    return [length](char* d, DWORD n) { return BoundedFormat(d, n, "%s", std::string(length, 'x').c_str()); };
}
std::string Z(const std::string& text) {
    return text + std::string(1, '\0');
}

constexpr double kScale = 0.00392156862745098;

INSTANTIATE_TEST_SUITE_P(
    Copy, BoundedTest,
    ::testing::Values(Case{"Capacity0", "", 0, Copy("abc"), E_INVALIDARG, ""},
                      Case{"Capacity0x80000000", "", 0x80000000u, Copy("abc"), E_INVALIDARG, ""},
                      Case{"Capacity1Empty", "", 1, Copy(""), S_OK, Z("")},
                      Case{"Capacity1OneChar", "", 1, Copy("a"), kInsufficientBuffer, Z("")},
                      Case{"ExactFit", "", 10, Copy("123456789"), S_OK, Z("123456789")},
                      Case{"OneOver", "", 10, Copy("1234567890"), kInsufficientBuffer, Z("123456789")},
                      Case{"LargestCapacity", "", kMaxBoundedCapacity, Copy("abc"), S_OK, Z("abc")}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Append, BoundedTest,
    ::testing::Values(Case{"Capacity0", Z("ab"), 0, Append("c"), E_INVALIDARG, Z("ab")},
                      Case{"ExactFit", Z("ab"), 5, Append("cd"), S_OK, Z("abcd")},
                      Case{"OneOver", Z("ab"), 4, Append("cd"), kInsufficientBuffer, Z("abc")},
                      Case{"FullEmptySource", Z("abc"), 4, Append(""), S_OK, Z("abc")},
                      Case{"FullNonEmptySource", Z("abc"), 4, Append("d"), kInsufficientBuffer, Z("abc")},
                      Case{"NoTerminator", "abcd", 4, Append("e"), E_INVALIDARG, "abcd"}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Format, BoundedTest,
    ::testing::Values(
        Case{"Capacity0", "", 0, Int("%d", 5), E_INVALIDARG, ""},
        Case{"Capacity0x80000000", "", 0x80000000u, Int("%d", 5), E_INVALIDARG, ""},
        Case{"Capacity1", "", 1, Int("%d", 7), kInsufficientBuffer, Z("")},
        Case{"Decimal", "", 16, Int("%d", -32768), S_OK, Z("-32768")},
        Case{"DecimalOneOver", "", 6, Int("%d", -32768), kInsufficientBuffer, Z("-3276")},
        Case{"Hex", "", 16, Int("%x", 0x1F2E), S_OK, Z("1f2e")},
        Case{"HexWithZero", "", 16, Int("0%x", 0xA), S_OK, Z("0a")},
        Case{"Colour", "", 16, Colour(0, 128 * kScale, 230 * kScale), S_OK, Z("0.00 0.50 0.90")},
        Case{"ColourWidest", "", 16, Colour(1, 1, 1), S_OK, Z("1.00 1.00 1.00")},
        Case{"FifteenFitSixteen", "", 16, Text(15), S_OK, Z(std::string(15, 'x'))},
        Case{"SixteenCutToFifteen", "", 16, Text(16), kInsufficientBuffer, Z(std::string(15, 'x'))}),
    [](const auto& info) { return std::string(info.param.name); });

struct LengthCase {
    const char* name;
    std::string bytes; // no terminator added
    DWORD capacity;
    HRESULT result;
    DWORD length; // kUnset: the out value is left as it was
};
void PrintTo(const LengthCase& c, std::ostream* os) {
    *os << c.name;
}

constexpr DWORD kUnset = 0xDEADBEEF;

class BoundedLengthTest : public ::testing::TestWithParam<LengthCase> {};

TEST_P(BoundedLengthTest, FindsTerminatorWithinCapacity) {
    const LengthCase& c = GetParam();
    DWORD length = kUnset;
    EXPECT_EQ(BoundedLength(c.bytes.data(), c.capacity, &length), c.result);
    EXPECT_EQ(length, c.length);
}

INSTANTIATE_TEST_SUITE_P(Table, BoundedLengthTest,
                         ::testing::Values(LengthCase{"Capacity0", Z(""), 0, E_INVALIDARG, kUnset},
                                           LengthCase{"Empty", Z(""), 1, S_OK, 0},
                                           LengthCase{"TerminatorAtLastSlot", Z("abc"), 4, S_OK, 3},
                                           LengthCase{"NoTerminator", Z("abcd"), 4, E_INVALIDARG, kUnset}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(BoundedCopyWide, CopiesUnitsAndCuts) {
    const WCHAR source[] = {u'a', 0xD83D, 0xDE00, 0};
    WCHAR out[4] = {0x2323, 0x2323, 0x2323, 0x2323};
    EXPECT_EQ(BoundedCopyWide(out, 0, source), E_INVALIDARG);
    EXPECT_EQ(out[0], 0x2323);
    EXPECT_EQ(BoundedCopyWide(out, 4, source), S_OK);
    EXPECT_EQ(out[2], 0xDE00);
    EXPECT_EQ(out[3], 0);
    // Units are copied one by one: a cut may split a surrogate pair.
    EXPECT_EQ(BoundedCopyWide(out, 3, source), kInsufficientBuffer);
    EXPECT_EQ(out[1], 0xD83D);
    EXPECT_EQ(out[2], 0);
}

} // namespace
} // namespace klv
