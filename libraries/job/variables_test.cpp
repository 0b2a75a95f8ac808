#include "libraries/job/variables.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

namespace klv::job {
namespace {

struct VariableCase {
    std::u16string text;
    std::u16string expanded; // empty with unknown set: refused
    std::string unknown;
};

TEST(ExpandVariables, FillsEachVariableAndRefusesUnknownOnesByName) {
    setenv("TZ", "UTC", 1);
    tzset();
    const JobFacts facts{"alice", "Q3 {draft}", 42, "front-desk", 1789344000}; // 2026-09-14 00:00:00 UTC
    const VariableCase cases[] = {
        {u"Printed by {user} on {date} at {time}", u"Printed by alice on 2026-09-14 at 00:00:00", ""},
        {u"{title} #{job-id} @{printer}", u"Q3 {draft} #42 @front-desk", ""}, // values are not expanded again
        {u"{{user}} }}{{", u"{user} }{", ""},
        {u"no braces", u"no braces", ""},
        {u"by {usr}", u"", "{usr}"},
        {u"by {user", u"", "{user"},
        {u"a } b", u"", "}"},
        {u"{}", u"", "{}"},
    };
    for (const VariableCase& c : cases) {
        const Expansion e = ExpandVariables(c.text, facts);
        EXPECT_EQ(e.ok, c.unknown.empty());
        EXPECT_EQ(e.unknown, c.unknown);
        if (e.ok) {
            EXPECT_EQ(e.text, c.expanded);
        }
    }
}

} // namespace
} // namespace klv::job
