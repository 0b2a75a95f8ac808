#include "devmode/layout.h"
#include "programs/cupsfilter/cups_options.h"
#include "programs/cupsfilter/job_settings.h"
#include "libraries/settings/devmode_fields.h"
#include "programs/klvps/devmode_json.h"

#include <gtest/gtest.h>

#include <sstream>

namespace klv::cups {
namespace {

struct ParseCase {
    const char* label;
    const char* text;
    std::vector<CupsOption> expected;
};

TEST(CupsOptions, ParsesAsThePrintServerWritesThem) {
    const ParseCase cases[] = {
        {"empty", "", {}},
        {"pairs", "klvps-flip=true media=A4", {{"klvps-flip", "true"}, {"media", "A4"}}},
        {"bare name", "klvps-flip", {{"klvps-flip", "true"}}},
        {"no prefix", "noklvps-flip", {{"klvps-flip", "false"}}},
        {"no prefix is only for bare names", "noklvps=x", {{"noklvps", "x"}}},
        {"double quotes",
         "klvps-watermark=\"TOP SECRET\" x=1",
         {{"klvps-watermark", "TOP SECRET"}, {"x", "1"}}},
        {"single quotes", "klvps-job-name='a b'", {{"klvps-job-name", "a b"}}},
        {"quoted part", "t=ab'c d'e", {{"t", "abc de"}}},
        {"escapes", "t=a\\ b\\\\c", {{"t", "a b\\c"}}},
        {"escaped quote in quotes", "t=\"say \\\"hi\\\"\"", {{"t", "say \"hi\""}}},
        {"empty value", "t= u=1", {{"t", ""}, {"u", "1"}}},
        {"collection kept whole", "c={a=1 b={x=2}} d=3", {{"c", "{a=1 b={x=2}}"}, {"d", "3"}}},
        {"later wins in place", "a=1 b=2 a=3", {{"a", "3"}, {"b", "2"}}},
        {"extra whitespace", "  a=1\t\n b  ", {{"a", "1"}, {"b", "true"}}},
        {"unterminated quote", "t=\"abc", {{"t", "abc"}}},
    };
    for (const ParseCase& c : cases)
        EXPECT_EQ(ParseCupsOptions(c.text), c.expected) << c.label;
}

struct SettingCase {
    const char* label;
    const char* options;
    // Expected fields of the device mode as `klvps devmode show` names them.
    std::vector<std::pair<const char*, nlohmann::ordered_json>> fields;
};

std::vector<std::uint8_t> DefaultBlock() {
    // The defaults the plug-in writes, set through the same field rules.
    std::vector<std::uint8_t> block(dm::kSize);
    for (const char* a :
         {"sFullPage=-1", "sWatermarkAngle=30", "lWatermarkSize=72", "rgbWatermarkColor=230,230,230",
          "szWatermarkText=WaterMark", "szWatermarkFont=Helvetica"}) {
        std::string error;
        EXPECT_TRUE(settings::ApplyAssignment(block, a, &error)) << error;
    }
    return block;
}

TEST(JobSettings, OptionsSetTheDeviceMode) {
    const SettingCase cases[] = {
        {"watermark text turns it on",
         "klvps-watermark=DRAFT",
         {{"sWatermarkOn", 1}, {"szWatermarkText", "DRAFT"}}},
        {"watermark true keeps the text",
         "klvps-watermark",
         {{"sWatermarkOn", 1}, {"szWatermarkText", "WaterMark"}}},
        {"watermark none", "klvps-watermark=None", {{"sWatermarkOn", 0}}},
        {"watermark off by no prefix", "klvps-watermark=X noklvps-watermark", {{"sWatermarkOn", 0}}},
        {"angle", "klvps-watermark-angle=-45", {{"sWatermarkAngle", -45}}},
        {"size", "klvps-watermark-size=144", {{"lWatermarkSize", 144}}},
        {"colour triple",
         "klvps-watermark-color=255,0,0",
         {{"rgbWatermarkColor", {{"red", 255}, {"green", 0}, {"blue", 0}}}}},
        {"colour #hex",
         "klvps-watermark-color=#0080ff",
         {{"rgbWatermarkColor", {{"red", 0}, {"green", 128}, {"blue", 255}}}}},
        {"colour PPD hex",
         "klvps-watermark-color=E6E6E6",
         {{"rgbWatermarkColor", {{"red", 230}, {"green", 230}, {"blue", 230}}}}},
        {"font", "klvps-watermark-font=Times-Bold", {{"szWatermarkFont", "Times-Bold"}}},
        {"full page on", "klvps-full-page", {{"sFullPage", 1}}},
        {"full page off", "klvps-full-page=False", {{"sFullPage", -1}}},
        {"flip yes", "klvps-flip=yes", {{"sFlip", 1}}},
        {"flip off", "klvps-flip=OFF", {{"sFlip", 0}}},
        {"job name with spaces", "klvps-job-name='Quarterly report'", {{"szJobName", "Quarterly report"}}},
        {"password", "klvps-job-password=1234", {{"szJobPassword", "1234"}}},
        {"option names in any case", "KLVPS-Flip=1", {{"sFlip", 1}}},
        {"other filters' options ignored", "media=A4 number-up=2 klvps-flip", {{"sFlip", 1}}},
    };
    for (const SettingCase& c : cases) {
        std::vector<std::uint8_t> block = DefaultBlock();
        std::string error;
        ASSERT_TRUE(ApplyJobOptions(block, ParseCupsOptions(c.options), &error)) << c.label << ": " << error;
        const nlohmann::ordered_json fields = cli::DevModeToJson(block);
        for (const auto& [name, value] : c.fields)
            EXPECT_EQ(fields[name], value) << c.label << ": " << name;
    }
}

struct RefusalCase {
    const char* options;
    const char* message;
};

TEST(JobSettings, BadValuesNameTheOptionAndItsLimit) {
    const RefusalCase cases[] = {
        {"klvps-watermark-angle=400000", "klvps-watermark-angle: 400000 is outside -32768 to 32767"},
        {"klvps-watermark-angle=steep", "klvps-watermark-angle: 'steep' is not a number"},
        {"klvps-watermark-size=0", "klvps-watermark-size: 0 is outside 1 to 2147483647"},
        {"klvps-watermark-size=-12", "klvps-watermark-size: -12 is outside 1 to 2147483647"},
        {"klvps-watermark-size=3000000000", "klvps-watermark-size: 3000000000 is outside 1 to 2147483647"},
        {"klvps-watermark-color=red", "klvps-watermark-color: 'red' is not a colour"},
        {"klvps-watermark-color=256,0,0", "klvps-watermark-color: '256,0,0' is not a colour"},
        {"klvps-watermark-font='Times Roman'",
         "klvps-watermark-font: 'Times Roman' is not a PostScript font name"},
        {"klvps-job-password=12345", "klvps-job-password: 5 characters, at most 4 allowed"},
        {"klvps-flip=maybe", "klvps-flip: 'maybe' is not a boolean (true or false)"},
        {"klvps-watermark-colour=1,2,3", "unknown option klvps-watermark-colour (options: klvps-watermark, "},
    };
    for (const RefusalCase& c : cases) {
        std::vector<std::uint8_t> block = DefaultBlock();
        std::string error;
        EXPECT_FALSE(ApplyJobOptions(block, ParseCupsOptions(c.options), &error)) << c.options;
        EXPECT_EQ(error.rfind(c.message, 0), 0u) << c.options << " gave: " << error;
    }
}

TEST(JobSettings, TooLongJobNameIsRefused) {
    std::vector<std::uint8_t> block = DefaultBlock();
    std::string error;
    EXPECT_FALSE(ApplyJobOptions(block, {{"klvps-job-name", std::string(81, 'n')}}, &error));
    EXPECT_EQ(error, "klvps-job-name: 81 characters, at most 80 allowed");
}

TEST(JobSettings, QueueDefaultsComeFromThePpdAndGivenOptionsWin) {
    std::istringstream ppd("*PPD-Adobe: \"4.3\"\r\n"
                           "*Defaultklvps-flip: True\r\n"
                           "*Defaultklvps-watermark: DRAFT\r\n"
                           "*DefaultPageSize: Letter\r\n"
                           "*klvps-flip True/On: \"\"\r\n");
    const std::vector<CupsOption> defaults = PpdDefaults(ppd);
    EXPECT_EQ(defaults, (std::vector<CupsOption>{{"klvps-flip", "True"}, {"klvps-watermark", "DRAFT"}}));
    EXPECT_EQ(
        MergeOptions(defaults, ParseCupsOptions("noklvps-flip media=A4")),
        (std::vector<CupsOption>{{"klvps-flip", "false"}, {"klvps-watermark", "DRAFT"}, {"media", "A4"}}));
}

} // namespace
} // namespace klv::cups
