// The command's page lists and device-mode header check.
#include "libraries/settings/devmode_fields.h"
#include "libraries/settings/devmode_header.h"
#include "programs/klvps/page_range.h"

#include "devmode/layout.h"

#include <gtest/gtest.h>

namespace klv::cli {
using settings::ApplyAssignment;
using settings::ForeignBlockNotice;
namespace {

// A block with the plug-in's header and nothing else set.
std::vector<std::uint8_t> PluginBlock() {
    std::vector<std::uint8_t> block(dm::kSize, 0);
    std::string error;
    EXPECT_TRUE(ApplyAssignment(block, "dwSize=1768", &error)) << error;
    EXPECT_TRUE(ApplyAssignment(block, "dwSignature=0x4B4C564F", &error)) << error;
    return block;
}

TEST(ParsePageRangeTest, ReadsListsAndRejectsNonsense) {
    struct Case {
        const char* text;
        std::vector<int> pages; // empty: rejected
    };
    const Case cases[] = {
        {"3", {3}},   {"1-3,5", {1, 2, 3, 5}},
        {"2-2", {2}}, {"", {}},
        {"0", {}},    {"3-1", {}},
        {"1,,2", {}}, {"a", {}},
        {"1-", {}},   {"-2", {}},
    };
    for (const Case& c : cases) {
        std::vector<int> pages;
        std::string error;
        EXPECT_EQ(ParsePageRange(c.text, &pages, &error), !c.pages.empty()) << c.text;
        if (!c.pages.empty()) {
            EXPECT_EQ(pages, c.pages) << c.text;
        } else {
            EXPECT_NE(error.find("not a page list"), std::string::npos) << c.text;
        }
    }
}

TEST(ForeignBlockNoticeTest, NamesWhatTheHeaderGives) {
    std::vector<std::uint8_t> block = PluginBlock();
    EXPECT_EQ(ForeignBlockNotice(block), "");
    std::string error;
    ASSERT_TRUE(ApplyAssignment(block, "dwSignature=0x12345678", &error));
    EXPECT_NE(ForeignBlockNotice(block).find("signature 0x12345678, not 0x4B4C564F"), std::string::npos);
    ASSERT_TRUE(ApplyAssignment(block, "dwSize=100", &error));
    const std::string both = ForeignBlockNotice(block);
    EXPECT_EQ(both.rfind("this is not a klvps device mode: its header gives the size 100, not 1768 and the "
                         "signature 0x12345678",
                         0),
              0u)
        << both;
}

} // namespace
} // namespace klv::cli
