#include "libraries/job/text_pages.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace klv::job {
namespace {

TEST(PaginateText, WrapsAndBreaksPages) {
    struct Case {
        const char* name;
        std::string text;
        int columns;
        int rows;
        std::vector<std::vector<std::string>> pages;
    };
    const Case cases[] = {
        {"Empty", "", 10, 3, {{}}},
        {"CrLfAndTrailingNewline", "a\r\nb\n", 10, 3, {{"a", "b"}}},
        {"WrapsAtASpace", "one two three", 8, 3, {{"one two", "three"}}},
        {"CutsAWordLongerThanALine", "abcdefghij", 4, 5, {{"abcd", "efgh", "ij"}}},
        {"TabsToEightColumns", "a\tb", 20, 1, {{"a       b"}}},
        {"FullPageStartsTheNext", "1\n2\n3\n4", 10, 2, {{"1", "2"}, {"3", "4"}}},
        {"FormFeed", "1\f2", 10, 5, {{"1"}, {"2"}}},
        {"CountsCharactersNotBytes", "\xC3\xA9\xC3\xA9\xC3\xA9", 2, 5, {{"\xC3\xA9\xC3\xA9", "\xC3\xA9"}}},
        {"BlankLinesKept", "a\n\nb", 10, 5, {{"a", "", "b"}}},
    };
    for (const Case& c : cases) {
        std::vector<std::vector<std::string>> pages;
        std::string error;
        ASSERT_TRUE(PaginateText(c.text, c.columns, c.rows, &pages, &error)) << c.name << ": " << error;
        EXPECT_EQ(pages, c.pages) << c.name;
    }
    std::vector<std::vector<std::string>> pages;
    std::string error;
    EXPECT_FALSE(PaginateText("caf\xE9", 10, 10, &pages, &error));
    EXPECT_EQ(error, "the text is not valid UTF-8");
    EXPECT_FALSE(PaginateText("x", 0, 10, &pages, &error));
}

} // namespace
} // namespace klv::job
