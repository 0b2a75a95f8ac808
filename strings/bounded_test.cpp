#include "strings/bounded.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

namespace klv {
namespace {

constexpr char kGuard = '#';

// A destination of `size` bytes filled with a guard byte, so that writes
// past the terminator or the capacity show up.
std::vector<char> Guarded(std::size_t size) {
    return std::vector<char>(size, kGuard);
}

struct CopyCase {
    const char* name;
    DWORD capacity;
    std::string source;
    HRESULT result;
    std::string expected; // empty and result E_INVALIDARG: nothing written
};
void PrintTo(const CopyCase& c, std::ostream* os) {
    *os << c.name;
}

class BoundedCopyTest : public ::testing::TestWithParam<CopyCase> {};

TEST_P(BoundedCopyTest, CopiesAndCuts) {
    const CopyCase& c = GetParam();
    std::vector<char> buffer = Guarded(32);
    EXPECT_EQ(BoundedCopy(buffer.data(), c.capacity, c.source.c_str()), c.result);
    if (c.result == E_INVALIDARG) {
        EXPECT_EQ(buffer, Guarded(32)) << "a rejected capacity writes nothing";
        return;
    }
    EXPECT_EQ(std::string(buffer.data()), c.expected);
    // Nothing beyond the terminator is touched.
    for (std::size_t i = c.expected.size() + 1; i < buffer.size(); ++i)
        ASSERT_EQ(buffer[i], kGuard) << "byte " << i;
}

INSTANTIATE_TEST_SUITE_P(
    Table, BoundedCopyTest,
    ::testing::Values(CopyCase{"Capacity0", 0, "abc", E_INVALIDARG, ""},
                      CopyCase{"Capacity0x80000000", 0x80000000u, "abc", E_INVALIDARG, ""},
                      CopyCase{"CapacityMaxUInt", 0xFFFFFFFFu, "abc", E_INVALIDARG, ""},
                      CopyCase{"Capacity1Empty", 1, "", S_OK, ""},
                      CopyCase{"Capacity1OneChar", 1, "a", kInsufficientBuffer, ""},
                      CopyCase{"ShorterThanCapacity", 10, "abc", S_OK, "abc"},
                      CopyCase{"ExactFit", 10, "123456789", S_OK, "123456789"},
                      CopyCase{"OneOver", 10, "1234567890", kInsufficientBuffer, "123456789"},
                      CopyCase{"FarOver", 4, "abcdefghij", kInsufficientBuffer, "abc"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(BoundedCopy, AcceptsLargestCapacity) {
    char buffer[8];
    EXPECT_EQ(BoundedCopy(buffer, kMaxBoundedCapacity, "abc"), S_OK);
    EXPECT_STREQ(buffer, "abc");
}

struct WideCase {
    const char* name;
    DWORD capacity;
    std::u16string source;
    HRESULT result;
    std::u16string expected;
};
void PrintTo(const WideCase& c, std::ostream* os) {
    *os << c.name;
}

class BoundedCopyWideTest : public ::testing::TestWithParam<WideCase> {};

TEST_P(BoundedCopyWideTest, CopiesUnitByUnit) {
    const WideCase& c = GetParam();
    WCHAR buffer[16];
    for (WCHAR& unit : buffer)
        unit = 0x2323;
    std::vector<WCHAR> source(c.source.begin(), c.source.end());
    source.push_back(0);
    EXPECT_EQ(BoundedCopyWide(buffer, c.capacity, source.data()), c.result);
    if (c.result == E_INVALIDARG) {
        EXPECT_EQ(buffer[0], 0x2323);
        return;
    }
    std::u16string copied;
    for (std::size_t i = 0; buffer[i] != 0; ++i)
        copied.push_back(static_cast<char16_t>(buffer[i]));
    EXPECT_EQ(copied, c.expected);
    EXPECT_EQ(buffer[c.expected.size() + 1], 0x2323);
}

INSTANTIATE_TEST_SUITE_P(
    Table, BoundedCopyWideTest,
    ::testing::Values(WideCase{"Capacity0", 0, u"ab", E_INVALIDARG, u""},
                      WideCase{"Capacity0x80000000", 0x80000000u, u"ab", E_INVALIDARG, u""},
                      WideCase{"Capacity1Empty", 1, u"", S_OK, u""},
                      WideCase{"Capacity1OneChar", 1, u"a", kInsufficientBuffer, u""},
                      WideCase{"ExactFit", 10, u"WaterMark", S_OK, u"WaterMark"},
                      WideCase{"OneOver", 9, u"WaterMark", kInsufficientBuffer, u"WaterMar"},
                      // Units are copied one by one: a cut may split a pair.
                      WideCase{"SplitsSurrogatePair", 3, u"a\U0001F600", kInsufficientBuffer, u"a\xD83D"}),
    [](const auto& info) { return std::string(info.param.name); });

struct LengthCase {
    const char* name;
    std::string bytes; // buffer contents; no terminator is added
    DWORD capacity;
    HRESULT result;
    DWORD length; // expected out value (kUnset: left as it was)
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

INSTANTIATE_TEST_SUITE_P(
    Table, BoundedLengthTest,
    ::testing::Values(
        LengthCase{"Capacity0", std::string("\0", 1), 0, E_INVALIDARG, kUnset},
        LengthCase{"Empty", std::string("\0", 1), 1, S_OK, 0},
        LengthCase{"TerminatorAtLastSlot", std::string("abc\0", 4), 4, S_OK, 3},
        LengthCase{"NoTerminatorWithinCapacity", std::string("abcd\0", 5), 4, E_INVALIDARG, kUnset},
        LengthCase{"Capacity0x80000000", std::string("\0", 1), 0x80000000u, E_INVALIDARG, kUnset}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(BoundedLength, AcceptsNullOut) {
    EXPECT_EQ(BoundedLength("abc", 8, nullptr), S_OK);
}

struct AppendCase {
    const char* name;
    std::string initial; // no terminator added: bytes as they stand
    DWORD capacity;
    std::string source;
    HRESULT result;
    std::string expected; // the buffer's first `capacity` bytes afterwards
};
void PrintTo(const AppendCase& c, std::ostream* os) {
    *os << c.name;
}

class BoundedAppendTest : public ::testing::TestWithParam<AppendCase> {};

TEST_P(BoundedAppendTest, JoinsAndCuts) {
    const AppendCase& c = GetParam();
    std::vector<char> buffer = Guarded(32);
    std::memcpy(buffer.data(), c.initial.data(), c.initial.size());
    EXPECT_EQ(BoundedAppend(buffer.data(), c.capacity, c.source.c_str()), c.result);
    EXPECT_EQ(std::string(buffer.data(), c.expected.size()), c.expected);
    for (std::size_t i = std::max<std::size_t>(c.capacity, c.initial.size()); i < buffer.size(); ++i)
        ASSERT_EQ(buffer[i], kGuard) << "nothing written at or past the capacity, byte " << i;
}

INSTANTIATE_TEST_SUITE_P(
    Table, BoundedAppendTest,
    ::testing::Values(
        AppendCase{"Capacity0", std::string("ab\0", 3), 0, "c", E_INVALIDARG, std::string("ab\0", 3)},
        AppendCase{"Fits", std::string("ab\0", 3), 8, "cd", S_OK, std::string("abcd\0", 5)},
        AppendCase{"ExactFit", std::string("ab\0", 3), 5, "cd", S_OK, std::string("abcd\0", 5)},
        AppendCase{"OneOver", std::string("ab\0", 3), 4, "cd", kInsufficientBuffer, std::string("abc\0", 4)},
        AppendCase{"FullEmptySource", std::string("abc\0", 4), 4, "", S_OK, std::string("abc\0", 4)},
        AppendCase{"FullNonEmptySource", std::string("abc\0", 4), 4, "d", kInsufficientBuffer,
                   std::string("abc\0", 4)},
        AppendCase{"NoTerminator", "abcd", 4, "e", E_INVALIDARG, "abcd"}),
    [](const auto& info) { return std::string(info.param.name); });

struct FormatCase {
    const char* name;
    DWORD capacity;
    const char* format;
    int kind; // 0: one int, 1: three doubles
    int number;
    double red, green, blue;
    HRESULT result;
    std::string expected;
};
void PrintTo(const FormatCase& c, std::ostream* os) {
    *os << c.name;
}

HRESULT RunFormat(char* buffer, const FormatCase& c) {
    if (c.kind == 0)
        return BoundedFormat(buffer, c.capacity, c.format, c.number);
    return BoundedFormat(buffer, c.capacity, c.format, c.red, c.green, c.blue);
}

class BoundedFormatTest : public ::testing::TestWithParam<FormatCase> {};

TEST_P(BoundedFormatTest, FormatsWithinCapacity) {
    const FormatCase& c = GetParam();
    std::vector<char> buffer = Guarded(32);
    EXPECT_EQ(RunFormat(buffer.data(), c), c.result);
    if (c.result == E_INVALIDARG) {
        EXPECT_EQ(buffer, Guarded(32));
        return;
    }
    EXPECT_EQ(std::string(buffer.data()), c.expected);
    for (std::size_t i = c.capacity; i < buffer.size(); ++i)
        ASSERT_EQ(buffer[i], kGuard) << "byte " << i;
}

const double kScale = 0.00392156862745098;

INSTANTIATE_TEST_SUITE_P(
    Table, BoundedFormatTest,
    ::testing::Values(FormatCase{"Capacity0", 0, "%d", 0, 5, 0, 0, 0, E_INVALIDARG, ""},
                      FormatCase{"Capacity0x80000000", 0x80000000u, "%d", 0, 5, 0, 0, 0, E_INVALIDARG, ""},
                      FormatCase{"DecimalNegative", 16, "%d", 0, -32768, 0, 0, 0, S_OK, "-32768"},
                      FormatCase{"Hex", 16, "%x", 0, 0x1F2E, 0, 0, 0, S_OK, "1f2e"},
                      FormatCase{"HexWithZero", 16, "0%x", 0, 0xA, 0, 0, 0, S_OK, "0a"},
                      FormatCase{"Colour", 16, "%1.2f %1.2f %1.2f", 1, 0, 230 * kScale, 128 * kScale,
                                 255 * kScale, S_OK, "0.90 0.50 1.00"},
                      FormatCase{"ColourZero", 16, "%1.2f %1.2f %1.2f", 1, 0, 0, 0, 0, S_OK,
                                 "0.00 0.00 0.00"},
                      FormatCase{"Capacity1", 1, "%d", 0, 7, 0, 0, 0, kInsufficientBuffer, ""},
                      FormatCase{"DecimalExactFit", 7, "%d", 0, -32768, 0, 0, 0, S_OK, "-32768"},
                      FormatCase{"DecimalOneOver", 6, "%d", 0, -32768, 0, 0, 0, kInsufficientBuffer, "-3276"},
                      FormatCase{"ColourCut", 10, "%1.2f %1.2f %1.2f", 1, 0, 1.0, 1.0, 1.0,
                                 kInsufficientBuffer, "1.00 1.00"}),
    [](const auto& info) { return std::string(info.param.name); });

struct LengthEdgeCase {
    const char* name;
    std::size_t length; // characters formatted through "%s"
    HRESULT result;
};
void PrintTo(const LengthEdgeCase& c, std::ostream* os) {
    *os << c.name;
}

class BoundedFormatEdgeTest : public ::testing::TestWithParam<LengthEdgeCase> {};

TEST_P(BoundedFormatEdgeTest, CutsAtCapacityMinusOne) {
    const LengthEdgeCase& c = GetParam();
    const std::string text(c.length, 'x');
    std::vector<char> buffer = Guarded(32);
    EXPECT_EQ(BoundedFormat(buffer.data(), 16, "%s", text.c_str()), c.result);
    EXPECT_EQ(std::string(buffer.data()), text.substr(0, 15));
    EXPECT_EQ(buffer[16], kGuard);
}

INSTANTIATE_TEST_SUITE_P(Table, BoundedFormatEdgeTest,
                         ::testing::Values(LengthEdgeCase{"Fourteen", 14, S_OK},
                                           LengthEdgeCase{"FifteenFits", 15, S_OK},
                                           LengthEdgeCase{"SixteenCut", 16, kInsufficientBuffer},
                                           LengthEdgeCase{"ThirtyCut", 30, kInsufficientBuffer}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace klv
