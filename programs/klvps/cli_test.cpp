// The command's settings shortcuts, text layout, page lists and device-mode
// header check.
#include "libraries/settings/devmode_fields.h"
#include "libraries/settings/devmode_header.h"
#include "programs/klvps/devmode_json.h"
#include "libraries/settings/devmode_header.h"
#include "programs/klvps/job_settings.h"
#include "programs/klvps/text_pages.h"

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

TEST(JobSettingsTest, EachShortcutSetsItsField) {
    JobSettings s;
    s.watermark = "DRAFT";
    s.watermarkFont = "Times-Bold";
    s.watermarkSize = 48;
    s.watermarkAngle = -45;
    s.watermarkColour = "#FF8000";
    s.fullPage = s.flip = true;
    s.jobName = "Q3";
    s.jobPassword = "1234";
    std::vector<std::uint8_t> block = PluginBlock();
    std::string error;
    ASSERT_TRUE(ApplyJobSettings(block, s, &error)) << error;
    const nlohmann::ordered_json j = DevModeToJson(block);
    EXPECT_EQ(j["sWatermarkOn"], 1);
    EXPECT_EQ(j["szWatermarkText"], "DRAFT");
    EXPECT_EQ(j["szWatermarkFont"], "Times-Bold");
    EXPECT_EQ(j["lWatermarkSize"], 48);
    EXPECT_EQ(j["sWatermarkAngle"], -45);
    EXPECT_EQ(j["rgbWatermarkColor"], (nlohmann::ordered_json{{"red", 255}, {"green", 128}, {"blue", 0}}));
    EXPECT_EQ(j["sFullPage"], 1);
    EXPECT_EQ(j["sFlip"], 1);
    EXPECT_EQ(j["szJobName"], "Q3");
    EXPECT_EQ(j["szJobPassword"], "1234");
}

TEST(JobSettingsTest, BadValuesNameTheOptionAndChangeNothing) {
    struct Case {
        const char* name;
        JobSettings settings;
        const char* message;
    };
    auto with = [](auto setter) {
        JobSettings s;
        setter(s);
        return s;
    };
    const Case cases[] = {
        {"SizeZero", with([](JobSettings& s) { s.watermarkSize = 0; }),
         "--watermark-size: 0 is outside 1 to 1000 points"},
        {"SizeHuge", with([](JobSettings& s) { s.watermarkSize = 5000; }),
         "--watermark-size: 5000 is outside"},
        {"AngleTooFar", with([](JobSettings& s) { s.watermarkAngle = 361; }),
         "--watermark-angle: 361 is outside -360 to 360 degrees"},
        {"Colour", with([](JobSettings& s) { s.watermarkColour = "red"; }),
         "--watermark-color: 'red' is not a colour"},
        {"Font", with([](JobSettings& s) { s.watermarkFont = "Times Roman"; }),
         "--watermark-font: 'Times Roman' is not a PostScript font"},
        {"LongText", with([](JobSettings& s) { s.watermark = std::string(128, 'w'); }),
         "--watermark: 128 characters, at most 127"},
        {"LongName", with([](JobSettings& s) { s.jobName = std::string(81, 'n'); }),
         "--job-name: 81 characters, at most 80"},
        {"LongPassword", with([](JobSettings& s) { s.jobPassword = "12345"; }),
         "--job-password: 5 characters, at most 4"},
        {"LaterBadValue", with([](JobSettings& s) {
             s.watermark = "ok";
             s.jobPassword = "12345";
         }),
         "--job-password"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::uint8_t> block = PluginBlock();
        const std::vector<std::uint8_t> before = block;
        std::string error;
        EXPECT_FALSE(ApplyJobSettings(block, c.settings, &error));
        EXPECT_EQ(error.rfind(c.message, 0), 0u) << error;
        EXPECT_EQ(block, before);
    }
}

TEST(PaginateTextTest, WrapsAndBreaksPages) {
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
