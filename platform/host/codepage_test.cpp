// WideCharToMultiByte on other hosts.
#include "platform/host/host.h"
#include "testing/utf16.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

namespace {

using namespace std::string_literals;
using klv::testing::kHighSurrogate, klv::testing::kLowSurrogate, klv::testing::kSurrogatePair;

struct CodePageScope {
    explicit CodePageScope(UINT codePage) { EXPECT_TRUE(klv::host::SetAnsiCodePage(codePage)); }
    ~CodePageScope() { klv::host::SetAnsiCodePage(1252); }
};

std::string Convert(const std::u16string& text) {
    std::string out(64, '\x7F');
    const int n = WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, out.data(), 64, nullptr, nullptr);
    return n == 0 ? "<failed>" : out.substr(0, static_cast<size_t>(n - 1)); // without the terminator
}

TEST(CodePage, ConvertsToTheAnsiCodePage) {
    const std::tuple<UINT, std::u16string, std::string> cases[] = {
        {1252, u"caf\u00e9", "caf\xe9"},
        {1252, u"\u20ac", "\x80"},                                   // euro sign
        {1252, u"\u4e2d", "?"},                                      // not in the code page
        {1252, u"a" + kSurrogatePair + u"b", "a?b"},                 // a surrogate pair is one character
        {1252, kHighSurrogate + u"x"s, "?x"},                        // a lone high surrogate
        {1252, kLowSurrogate + u"x"s, "?x"},                         // a lone low surrogate
        {1252, std::u16string{kLowSurrogate, kHighSurrogate}, "??"}, // a pair in the wrong order
        {932, u"\u8868", "\x95\x5c"},                                // second byte is a backslash
        {932, u"a\u3042b", "a\x82\xa0\x62"},
        {932, u"\u00e9", "?"},
    };
    for (const auto& [codePage, text, bytes] : cases) {
        CodePageScope scope(codePage);
        EXPECT_EQ(Convert(text), bytes) << "code page " << codePage;
    }
}

TEST(CodePage, MeasuresAndRefusesShortBuffers) {
    CodePageScope scope(932);
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"a\u8868", -1, nullptr, 0, nullptr, nullptr), 4);
    char out[3] = {'x', 'x', 'x'};
    SetLastError(0);
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"a\u8868", -1, out, 2, nullptr, nullptr), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(std::string(out, 3), "axx"); // whole characters only: the double-byte one did not fit
}

TEST(CodePage, CountedSourceAndBadArguments) {
    char out[8] = {};
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"abc", 2, out, 8, nullptr, nullptr), 2);
    EXPECT_STREQ(out, "ab"); // a counted source has no terminator
    SetLastError(0);
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, nullptr, -1, out, 8, nullptr, nullptr), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_FALSE(klv::host::SetAnsiCodePage(64999));
    EXPECT_EQ(klv::host::AnsiCodePage(), 1252u);
}

} // namespace
