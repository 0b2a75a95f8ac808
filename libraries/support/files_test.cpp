#include "libraries/support/files.h"
#include "libraries/support/temp_dir.h"
#include "libraries/support/utf.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <utility>

namespace klv::support {
namespace {

TEST(Utf, Utf8ToUtf16ReplacesInvalidSequences) {
    const std::pair<std::string, std::u16string> cases[] = {
        {"Q3 \xC3\xA9 \xE4\xB8\xAD \xF0\x9F\x98\x80", u"Q3 \u00E9 \u4E2D \U0001F600"}, // 1 to 4 bytes
        {"a\xC0\xAFz", u"a\uFFFD\uFFFDz"},                                             // overlong
        {"\xED\xA0\x80", u"\uFFFD"},                                                   // encoded surrogate
        {"\xE4\xB8", u"\uFFFD"}};                                                      // cut short
    for (const auto& [utf8, utf16] : cases) {
        EXPECT_EQ(Utf8ToUtf16(utf8), utf16);
        if (utf16.find(u'\uFFFD') == std::u16string::npos) {
            EXPECT_EQ(Utf16ToUtf8(utf16), utf8);
        }
    }
}

TEST(WriteFileAtomically, ReplacesWholeFileAndLeavesNoTemporary) {
    const TempDir dir;
    const std::string path = (dir.Path() / "out.ps").string();
    std::string error;
    ASSERT_TRUE(WriteFileAtomically(path, "first", &error)) << error;
    ASSERT_TRUE(WriteFileAtomically(path, "second", &error)) << error;
    std::ifstream in(path);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "second");
    namespace fs = std::filesystem;
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 1);
    EXPECT_FALSE(WriteFileAtomically((dir.Path() / "missing" / "out.ps").string(), "x", &error));
    EXPECT_NE(error.find("missing"), std::string::npos);
}

} // namespace
} // namespace klv::support
