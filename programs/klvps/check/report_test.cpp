// Reading the stand-in printer's event lines, and the two reports.
#include "programs/klvps/check/report.h"

#include <gtest/gtest.h>

namespace klv::check {
namespace {

PsValue String(std::string bytes) {
    return PsValue{PsValue::Kind::kString, std::move(bytes)};
}

// Output of a watermarked one-page job, as the stand-in printer writes it.
constexpr const char* kCleanJob = "%KLVCHK user s 616c28696365\n"
                                  "%KLVCHK file s 5133e92e747874\n"
                                  "%KLVCHK jobname s 5133e92e747874\n"
                                  "%KLVCHK jobinfo\n"
                                  "%KLVCHK wm-defined\n"
                                  "%KLVCHK wm-text s 4452414654\n"
                                  "%KLVCHK wm-size v 72\n"
                                  "%KLVCHK wm-colour v 0.9\n"
                                  "%KLVCHK wm-colour v 0.5\n"
                                  "%KLVCHK wm-colour v 0.0\n"
                                  "%KLVCHK wm-angle v -45\n"
                                  "%KLVCHK wm-font n 48656c766574696361\n"
                                  "%KLVCHK wm-invoked\n"
                                  "%KLVCHK page\n"
                                  "%KLVCHK key kelvo$NT v true\n"
                                  "%KLVCHK key kelvo$jobpassword s \n"
                                  "%KLVCHK key kelvo$jobname s 5133\n"
                                  "%KLVCHK key klvdef v --nostringval--\n"
                                  "%KLVCHK patch-active\n"
                                  "%KLVCHK done\n";

TEST(ParseEventsTest, ReadsEveryEventOfACleanJob) {
    const Received r = ParseEvents(kCleanJob);
    EXPECT_TRUE(r.user.ran);
    EXPECT_EQ(r.user.operand, String("al(ice"));
    EXPECT_EQ(r.file.operand, String("Q3\xE9.txt"));
    EXPECT_EQ(r.jobName.operand, String("Q3\xE9.txt"));
    EXPECT_TRUE(r.jobInfo);
    EXPECT_TRUE(r.watermark.defined);
    EXPECT_EQ(r.watermark.text, String("DRAFT"));
    EXPECT_EQ(r.watermark.font, (PsValue{PsValue::Kind::kName, "Helvetica"}));
    EXPECT_EQ(r.watermark.colour, (std::vector<std::string>{"0.9", "0.5", "0.0"}));
    EXPECT_EQ(r.watermark.angle->bytes, "-45");
    EXPECT_EQ(r.watermark.pages, std::vector<int>{1});
    EXPECT_EQ(r.pages, 1);
    EXPECT_EQ(r.keys.at("kelvo$jobpassword"), String(""));
    EXPECT_TRUE(r.patchActive);
    EXPECT_TRUE(r.finished);
    EXPECT_FALSE(r.error.has_value());
    EXPECT_TRUE(r.unknown.empty());
    EXPECT_TRUE(RanClean(r, Outcome{}));
}

TEST(ParseEventsTest, PlacesInvocationsAndErrorsOnTheirPages) {
    struct Case {
        const char* name;
        const char* output;
        std::vector<int> watermarkPages;
        int errorPage; // 0: no error
    };
    const Case cases[] = {
        {"InvokedOnEveryPage",
         "%KLVCHK wm-invoked\n%KLVCHK page\n%KLVCHK wm-invoked\n%KLVCHK page\n",
         {1, 2},
         0},
        {"TwiceOnOnePageCountsOnce", "%KLVCHK wm-invoked\n%KLVCHK wm-invoked\n%KLVCHK page\n", {1}, 0},
        {"SkippedPage", "%KLVCHK page\n%KLVCHK wm-invoked\n%KLVCHK page\n", {2}, 0},
        {"ErrorOnSecondPage",
         "%KLVCHK page\n%KLVCHK error-name n 756e646566696e6564\n%KLVCHK error-command n 666f6f\n",
         {},
         2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Received r = ParseEvents(c.output);
        EXPECT_EQ(r.watermark.pages, c.watermarkPages);
        EXPECT_EQ(r.error ? r.error->page : 0, c.errorPage);
        if (r.error) {
            EXPECT_EQ(r.error->name, "undefined");
            EXPECT_EQ(r.error->command, "foo");
        }
    }
}

TEST(ParseEventsTest, KeepsOtherOutputAndRejectsMalformedEvents) {
    const Received r = ParseEvents("hello from the job\r\n"
                                   "tail%KLVCHK jobinfo\n"
                                   "%KLVCHK user s 6\n"  // odd hex
                                   "%KLVCHK file x 41\n" // unknown kind
                                   "%KLVCHK jobname\n"   // ran without an operand
                                   "%KLVCHK frobnicate\n");
    EXPECT_TRUE(r.jobInfo);
    EXPECT_TRUE(r.jobName.ran);
    EXPECT_FALSE(r.jobName.operand.has_value());
    EXPECT_EQ(r.unknown, (std::vector<std::string>{"hello from the job", "tail", "%KLVCHK user s 6",
                                                   "%KLVCHK file x 41", "%KLVCHK frobnicate"}));
    EXPECT_FALSE(r.finished);
    EXPECT_FALSE(RanClean(r, Outcome{}));
}

TEST(CodePageToUtf8Test, ConvertsTheCodePagesCharacters) {
    struct Case {
        const char* bytes;
        unsigned codePage;
        const char* utf8;
    };
    const Case cases[] = {
        {"caf\xE9", 1252, "caf\xC3\xA9"},
        {"\x80", 1252, "\xE2\x82\xAC"},
        {"\x81", 1252, "\xEF\xBF\xBD"}, // undefined in 1252
        {"\x93\xFA\x96\x7B", 932, "\xE6\x97\xA5\xE6\x9C\xAC"},
        {"\x93", 932, "\xEF\xBF\xBD"}, // a cut double-byte character
        {"\xE9", 1251, "\xD0\xB9"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CodePageToUtf8(c.bytes, c.codePage), std::string(c.utf8))
            << c.bytes << " in " << c.codePage;
    EXPECT_FALSE(CodePageToUtf8("a", 64999).has_value());
}

TEST(ReportTest, TextShowsNamesInTheCodePageAndControlsEscaped) {
    Received r = ParseEvents(kCleanJob);
    r.user.operand = String("tab\there");
    const std::string text = ReportText(r, Outcome{}, 1252);
    for (const char* expected :
         {"ran clean:            yes", "user name:          tab\\x09here",
          "file name:          Q3\xC3\xA9.txt", "logjobinfo ran:     yes", "password:           (empty)",
          "job name:           Q3", "flip key:             not set", "origin patch:         installed",
          "colour:             0.9 0.5 0.0 (R,G,B 230,128,0)", "angle:              -45",
          "invoked on:         1 of 1 pages (1)"})
        EXPECT_NE(text.find(expected), std::string::npos) << expected << "\n" << text;
}

TEST(ReportTest, JsonGivesBytesAndNumbers) {
    const nlohmann::ordered_json j = ReportJson(ParseEvents(kCleanJob), Outcome{}, 1252);
    EXPECT_EQ(j["clean"], true);
    EXPECT_EQ(j["accounting"]["file"]["bytes"], "5133e92e747874");
    EXPECT_EQ(j["accounting"]["file"]["text"], "Q3\xC3\xA9.txt");
    EXPECT_EQ(j["ticket"]["nt"], true);
    EXPECT_EQ(j["ticket"]["password"]["bytes"], "");
    EXPECT_EQ(j["flip"], false);
    EXPECT_EQ(j["watermark"]["size"], 72);
    EXPECT_EQ(j["watermark"]["angle"], -45);
    EXPECT_EQ(j["watermark"]["rgb"], (nlohmann::ordered_json{{"red", 230}, {"green", 128}, {"blue", 0}}));
    EXPECT_EQ(j["error"], nullptr);
}

TEST(ReportTest, VerdictNamesWhatWentWrong) {
    struct Case {
        const char* name;
        const char* output;
        Outcome outcome;
        const char* verdict;
    };
    const Case cases[] = {
        {"Error",
         "%KLVCHK error-name n 6e6f6e65\n%KLVCHK error-command n 78\n%KLVCHK done\n",
         {},
         "PostScript error /none in x on page 1"},
        {"TimedOut", "", {true, 5, -1}, "stopped after 5 seconds"},
        {"QuitEarly", "%KLVCHK page\n", {}, "ended the interpreter before its end"},
    };
    for (const Case& c : cases) {
        const Received r = ParseEvents(c.output);
        EXPECT_FALSE(RanClean(r, c.outcome)) << c.name;
        EXPECT_NE(ReportText(r, c.outcome, 1252).find(c.verdict), std::string::npos) << c.name;
    }
}

} // namespace
} // namespace klv::check
