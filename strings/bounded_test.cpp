#include "strings/bounded.h"
#include "testing/utf16.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

namespace klv {
namespace {

using namespace std::string_literals;

// Each call (Copy, Append or Format of one int) starts on 32 guard bytes
// holding `initial`, no terminator added, and must leave `expected` there
// and write nothing past it or at or past the capacity.
TEST(Bounded, WritesWithinCapacity) {
    enum Op { Copy, Append, Format };
    struct Case {
        Op op;
        std::string initial;
        DWORD capacity;
        const char* text; // copied, appended, or the format
        int value;        // formatted
        HRESULT result;
        std::string expected;
    };
    const Case cases[] = {
        {Copy, "", 0, "abc", 0, E_INVALIDARG, ""},
        {Copy, "", 0x80000000u, "abc", 0, E_INVALIDARG, ""},
        {Copy, "", STRSAFE_MAX_CCH, "abc", 0, S_OK, "abc\0"s},
        {Copy, "", 1, "a", 0, STRSAFE_E_INSUFFICIENT_BUFFER, "\0"s},
        {Copy, "", 10, "123456789", 0, S_OK, "123456789\0"s},
        {Copy, "", 10, "1234567890", 0, STRSAFE_E_INSUFFICIENT_BUFFER, "123456789\0"s},
        {Append, "ab\0"s, 0, "c", 0, E_INVALIDARG, "ab\0"s},
        {Append, "ab\0"s, 5, "cd", 0, S_OK, "abcd\0"s},
        {Append, "ab\0"s, 4, "cd", 0, STRSAFE_E_INSUFFICIENT_BUFFER, "abc\0"s},
        {Append, "abcd", 4, "e", 0, E_INVALIDARG, "abcd"},
        {Format, "", 0, "%d", 5, E_INVALIDARG, ""},
        {Format, "", 0x80000000u, "%d", 5, E_INVALIDARG, ""},
        {Format, "", 1, "%d", 7, STRSAFE_E_INSUFFICIENT_BUFFER, "\0"s},
        {Format, "", 16, "%d", -32768, S_OK, "-32768\0"s},
        {Format, "", 7, "%d", -32768, S_OK, "-32768\0"s},
        {Format, "", 6, "%d", -32768, STRSAFE_E_INSUFFICIENT_BUFFER, "-3276\0"s},
        {Format, "", 16, "%x", 0x1F2E, S_OK, "1f2e\0"s},
        {Format, "", 16, "0%x", 0xA, S_OK, "0a\0"s},
    };
    for (const auto& [op, initial, capacity, text, value, result, expected] : cases) {
        SCOPED_TRACE(std::string(text) + " / " + std::to_string(capacity));
        std::vector<char> buffer(32, '#');
        std::copy(initial.begin(), initial.end(), buffer.begin());
        char* d = buffer.data();
        EXPECT_EQ(op == Copy     ? BoundedCopy(d, capacity, text)
                  : op == Append ? BoundedAppend(d, capacity, text)
                                 : BoundedFormat(d, capacity, text, value),
                  result);
        EXPECT_EQ(std::string(d, expected.size()), expected);
        std::size_t i =
            std::max<std::size_t>(std::min<std::size_t>(expected.size(), capacity), initial.size());
        for (; i < buffer.size(); ++i)
            ASSERT_EQ(buffer[i], '#') << "byte " << i;
    }
    char colour[16];
    EXPECT_EQ(BoundedFormat(colour, 16, "%1.2f %1.2f %1.2f", 0.0, 128 / 255.0, 1.0), S_OK);
    EXPECT_STREQ(colour, "0.00 0.50 1.00");
}

TEST(Bounded, LengthLooksNoFurtherThanTheCapacity) {
    constexpr DWORD kUnset = 0xDEADBEEF;
    const std::tuple<const char*, DWORD, HRESULT, DWORD> cases[] = {{"", 0, E_INVALIDARG, kUnset},
                                                                    {"", 1, S_OK, 0},
                                                                    {"abc", 4, S_OK, 3},
                                                                    {"abcd", 4, E_INVALIDARG, kUnset}};
    for (const auto& [text, capacity, result, expected] : cases) {
        DWORD length = kUnset;
        EXPECT_EQ(BoundedLength(text, capacity, &length), result) << text;
        EXPECT_EQ(length, expected) << text;
    }
}

TEST(Bounded, WideCopiesUnitsAndCuts) {
    using testing::kHighSurrogate, testing::kLowSurrogate;
    const WCHAR source[] = {u'a', kHighSurrogate, kLowSurrogate, 0};
    WCHAR out[4] = {u'#', u'#', u'#', u'#'};
    EXPECT_EQ(BoundedCopyWide(out, 0, source), E_INVALIDARG);
    EXPECT_EQ(out[0], u'#');
    // Units are copied one by one: a cut may split a surrogate pair.
    EXPECT_EQ(BoundedCopyWide(out, 3, source), STRSAFE_E_INSUFFICIENT_BUFFER);
    EXPECT_EQ(std::u16string(out, 4), (std::u16string{u'a', kHighSurrogate, 0, u'#'}));
    EXPECT_EQ(BoundedCopyWide(out, 4, source), S_OK);
    EXPECT_EQ(std::u16string(out, 4), u"a" + testing::kSurrogatePair + u'\0');
}

} // namespace
} // namespace klv
