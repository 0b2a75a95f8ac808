// The string check the fuzz targets rely on must catch every way a written
// PostScript string can be left open or closed early.
#include "fuzz/postscript_check.h"

#include <gtest/gtest.h>

namespace {

struct CheckCase {
    const char* text;
    bool sound;
};

TEST(PostScriptStrings, OpenAndStrayParenthesesAreCaught) {
    const CheckCase cases[] = {
        {"(abc) show", true},
        {"(a (nested) b) (\\(escaped\\)) (back\\\\slash)", true},
        {"% a comment with ( and ) \n(x)", true},
        {"(percent % inside) ", true},
        {"(never closed", false},
        {"(escaped close\\)", false},
        {"(ends on a backslash\\", false},
        {"(x)) stray", false},
        {"(two (open) ", false},
        {"/name ) def", false},
    };
    for (const CheckCase& c : cases)
        EXPECT_EQ(klv::fuzz::CheckPostScriptStrings(c.text).empty(), c.sound) << c.text;
}

TEST(PostScriptStrings, BodyMustCloseItsOwnString) {
    EXPECT_TRUE(klv::fuzz::CheckStringBody("Q3 \\(final\\).txt").empty());
    EXPECT_FALSE(klv::fuzz::CheckStringBody("Q3 (final.txt").empty());
    EXPECT_FALSE(klv::fuzz::CheckStringBody("cut\\").empty());
}

} // namespace
