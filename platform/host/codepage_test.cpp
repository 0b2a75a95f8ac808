// WideCharToMultiByte on other hosts.
#include "platform/host/host.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct CodePageScope {
    explicit CodePageScope(UINT codePage) { EXPECT_TRUE(klv::host::SetAnsiCodePage(codePage)); }
    ~CodePageScope() { klv::host::SetAnsiCodePage(1252); }
};

std::string Convert(const std::u16string& text, int capacity = 64) {
    std::string out(static_cast<size_t>(capacity), '\x7F');
    const int n = WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, out.data(), capacity, nullptr, nullptr);
    if (n == 0)
        return "<failed>";
    return out.substr(0, static_cast<size_t>(n - 1)); // without the terminator
}

TEST(CodePage, ConvertsToTheAnsiCodePage) {
    struct Case {
        UINT codePage;
        std::u16string text;
        std::string bytes;
    };
    const Case cases[] = {
        {1252, u"plain", "plain"},
        {1252, u"caf\u00e9", "caf\xe9"},
        {1252, u"\u20ac", "\x80"},      // euro sign
        {1252, u"\u4e2d", "?"},         // not in the code page
        {1252, u"a\U0001F600b", "a?b"}, // a surrogate pair is one character
        {1252, u"\xd800x", "?x"},       // a lone surrogate
        {932, u"\u8868", "\x95\x5c"},   // second byte is a backslash
        {932, u"a\u3042b",
         "a\x82\xa0"
         "b"},
        {932, u"\u00e9", "?"},
    };
    for (const Case& c : cases) {
        CodePageScope scope(c.codePage);
        EXPECT_EQ(Convert(c.text), c.bytes) << "code page " << c.codePage;
    }
}

TEST(CodePage, MeasuresAndRefusesShortBuffers) {
    CodePageScope scope(932);
    const std::u16string text = u"a\u8868";
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr), 4);
    char out[3] = {'x', 'x', 'x'};
    SetLastError(0);
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, out, 2, nullptr, nullptr), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(out[0], 'a'); // whole characters only: the double-byte one did not fit
    EXPECT_EQ(out[1], 'x');
}

TEST(CodePage, CountedSourceHasNoTerminator) {
    const std::u16string text = u"abc";
    char out[8] = {};
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, text.c_str(), 2, out, 8, nullptr, nullptr), 2);
    EXPECT_STREQ(out, "ab");
}

TEST(CodePage, BadArgumentsAndUnknownCodePages) {
    char out[4];
    SetLastError(0);
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, nullptr, -1, out, 4, nullptr, nullptr), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_FALSE(klv::host::SetAnsiCodePage(64999));
    EXPECT_EQ(klv::host::AnsiCodePage(), 1252u);
}

} // namespace
