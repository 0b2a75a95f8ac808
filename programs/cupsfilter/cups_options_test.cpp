// The klvps- options of a CUPS job, read with libcups over a queue's PPD.
#include "programs/cupsfilter/cups_options.h"

#include "devmode/layout.h"
#include "libraries/settings/devmode_fields.h"
#include "libraries/support/files.h"
#include "libraries/support/temp_dir.h"

#include <cups/ppd.h>
#include <gtest/gtest.h>

#include <fstream>

// The PPD API is how CUPS reads a queue's options; deprecated, but the
// filter's queues are made from this PPD.
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"

namespace klv::cups {
namespace {

struct SettingCase {
    const char* label;
    const char* options;
    // Expected fields of the device mode as `klvps devmode show` names them.
    std::vector<std::pair<const char*, std::string>> fields;
};

// A named field of the block in words: a number, R,G,B or the text.
std::string FieldText(const std::vector<std::uint8_t>& block, const char* name) {
    const settings::Field* f = settings::FindField(name);
    switch (f->kind) {
    case settings::FieldKind::kWide:
        return settings::ReadText(block, *f);
    case settings::FieldKind::kColour:
        return std::to_string(block[f->offset]) + "," + std::to_string(block[f->offset + 1]) + "," +
               std::to_string(block[f->offset + 2]);
    case settings::FieldKind::kS32:
        return std::to_string(static_cast<std::int32_t>(dm::U32(block.data(), f->offset)));
    default:
        return std::to_string(dm::S16(block.data(), f->offset));
    }
}

// The plug-in's defaults with the options' settings over them.
std::vector<std::uint8_t> BlockFor(const char* argument, const std::string& ppd = "") {
    std::vector<std::uint8_t> block(dm::kSize);
    for (const char* a :
         {"sFullPage=-1", "sWatermarkAngle=30", "lWatermarkSize=72", "rgbWatermarkColor=230,230,230",
          "szWatermarkText=WaterMark", "szWatermarkFont=Helvetica"}) {
        std::string error;
        EXPECT_TRUE(settings::ApplyAssignment(block, a, &error)) << error;
    }
    JobOptions options;
    std::string error;
    EXPECT_TRUE(ReadJobOptions(argument, ppd, &options, &error)) << error;
    for (const job::SettingValue& v : options.settings)
        EXPECT_FALSE(settings::Set(block, v.id, v.value));
    return block;
}

TEST(ReadJobOptions, OptionsSetTheDeviceMode) {
    const SettingCase cases[] = {
        {"watermark text turns it on",
         "klvps-watermark=DRAFT",
         {{"sWatermarkOn", "1"}, {"szWatermarkText", "DRAFT"}}},
        {"watermark true keeps the text",
         "klvps-watermark",
         {{"sWatermarkOn", "1"}, {"szWatermarkText", "WaterMark"}}},
        {"watermark none", "klvps-watermark=None", {{"sWatermarkOn", "0"}}},
        {"watermark off by no prefix", "klvps-watermark=X noklvps-watermark", {{"sWatermarkOn", "0"}}},
        {"angle", "klvps-watermark-angle=-45", {{"sWatermarkAngle", "-45"}}},
        {"size", "klvps-watermark-size=144", {{"lWatermarkSize", "144"}}},
        {"colour triple", "klvps-watermark-color=255,0,0", {{"rgbWatermarkColor", "255,0,0"}}},
        {"colour #hex", "klvps-watermark-color=#0080ff", {{"rgbWatermarkColor", "0,128,255"}}},
        {"colour PPD hex", "klvps-watermark-color=E6E6E6", {{"rgbWatermarkColor", "230,230,230"}}},
        {"font", "klvps-watermark-font=Times-Bold", {{"szWatermarkFont", "Times-Bold"}}},
        {"full page on", "klvps-full-page", {{"sFullPage", "1"}}},
        {"full page off", "klvps-full-page=False", {{"sFullPage", "-1"}}},
        {"flip yes", "klvps-flip=yes", {{"sFlip", "1"}}},
        {"flip off", "klvps-flip=OFF", {{"sFlip", "0"}}},
        {"job name with spaces", "klvps-job-name='Quarterly report'", {{"szJobName", "Quarterly report"}}},
        {"password", "klvps-job-password=1234", {{"szJobPassword", "1234"}}},
        {"option names in any case", "KLVPS-Flip=1", {{"sFlip", "1"}}},
        {"other filters' options ignored", "media=A4 number-up=2 klvps-flip", {{"sFlip", "1"}}},
    };
    for (const SettingCase& c : cases) {
        SCOPED_TRACE(c.label);
        const std::vector<std::uint8_t> block = BlockFor(c.options);
        for (const auto& [name, value] : c.fields)
            EXPECT_EQ(FieldText(block, name), value) << name;
    }
}

struct RefusalCase {
    std::string options;
    const char* message;
};

TEST(ReadJobOptions, BadValuesNameTheOptionAndItsLimit) {
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
        {"klvps-job-name=" + std::string(81, 'n'), "klvps-job-name: 81 characters, at most 80 allowed"},
    };
    for (const RefusalCase& c : cases) {
        JobOptions options;
        std::string error;
        EXPECT_FALSE(ReadJobOptions(c.options.c_str(), "", &options, &error)) << c.options;
        EXPECT_EQ(error.rfind(c.message, 0), 0u) << c.options << " gave: " << error;
    }
}

TEST(ReadJobOptions, QueueDefaultsComeFromThePpdAndGivenOptionsWin) {
    support::TempDir dir;
    const std::string ppd = (dir.Path() / "queue.ppd").string();
    std::string text = support::ReadWholeFile(KLVPS_PPD_PATH);
    // What lpadmin -o klvps-flip=True -o PageSize=A4 leaves in a queue's PPD.
    for (const auto& [from, to] :
         {std::pair<std::string, std::string>{"*Defaultklvps-flip: False", "*Defaultklvps-flip: True"},
          {"*DefaultPageSize: Letter", "*DefaultPageSize: A4"}}) {
        const std::size_t at = text.find(from);
        ASSERT_NE(at, std::string::npos) << from;
        text.replace(at, from.size(), to);
    }
    ASSERT_TRUE(support::WriteWholeFile(ppd, text));

    EXPECT_EQ(FieldText(BlockFor("", ppd), "sFlip"), "1");
    EXPECT_EQ(FieldText(BlockFor("noklvps-flip", ppd), "sFlip"), "0");
    JobOptions options;
    std::string error;
    ASSERT_TRUE(ReadJobOptions("", ppd, &options, &error)) << error;
    EXPECT_EQ(options.paper, sim::Paper::kA4);
    ASSERT_TRUE(ReadJobOptions("media=na_legal_8.5x14in,tray-2", ppd, &options, &error)) << error;
    EXPECT_EQ(options.paper, sim::Paper::kLegal);

    EXPECT_FALSE(ReadJobOptions("", (dir.Path() / "missing.ppd").string(), &options, &error));
    EXPECT_NE(error.find("missing.ppd cannot be read"), std::string::npos) << error;
}

// The PPD offers each setting that has choices, with exactly the table's
// choices, each one a value the setting takes, and nothing the table lacks.
TEST(Ppd, OffersTheTablesOptions) {
    for (const char* path : {KLVPS_PPD_PATH, KLVPS_PACKAGE_PPD_PATH}) {
        SCOPED_TRACE(path);
        ppd_file_t* ppd = ppdOpenFile(path);
        ASSERT_NE(ppd, nullptr);
        for (const settings::Setting& s : settings::kSettings) {
            SCOPED_TRACE(s.cupsOption);
            ppd_option_t* option = ppdFindOption(ppd, s.cupsOption);
            if (*s.ppdChoices == '\0') {
                EXPECT_EQ(option, nullptr) << "the table offers it as an -o option only";
                continue;
            }
            // The Windows package's generic PPD need not offer the settings.
            if (option == nullptr && std::string_view(path) == KLVPS_PACKAGE_PPD_PATH)
                continue;
            ASSERT_NE(option, nullptr);
            EXPECT_EQ(option->ui, s.kind == settings::Kind::kSwitch ? PPD_UI_BOOLEAN : PPD_UI_PICKONE);
            std::string choices;
            for (int i = 0; i < option->num_choices; ++i) {
                choices += std::string(choices.empty() ? "" : " ") + option->choices[i].choice;
                std::vector<std::uint8_t> block(dm::kSize);
                const settings::Refusal refusal =
                    settings::SetFromText(block, s.id, option->choices[i].choice);
                EXPECT_FALSE(refusal) << option->choices[i].choice;
            }
            EXPECT_EQ(choices, s.ppdChoices);
        }
        for (int g = 0; g < ppd->num_groups; ++g) {
            for (int o = 0; o < ppd->groups[g].num_options; ++o) {
                const char* keyword = ppd->groups[g].options[o].keyword;
                if (std::string_view(keyword).starts_with("klvps-")) {
                    EXPECT_NE(settings::FindByCupsOption(keyword), nullptr) << keyword << " is in no row";
                }
            }
        }
        ppdClose(ppd);
    }
}

struct PaperCase {
    const char* name;
    std::optional<sim::Paper> paper;
};

TEST(PaperNamed, TakesExactPwgAndPpdSizeNamesOnly) {
    const PaperCase cases[] = {
        {"A4", sim::Paper::kA4},
        {"iso_a4_210x297mm", sim::Paper::kA4},
        {"A4.Fullbleed", sim::Paper::kA4},
        {"Letter", sim::Paper::kLetter},
        {"na_letter_8.5x11in.Fullbleed", sim::Paper::kLetter},
        {"Legal", sim::Paper::kLegal},
        {"A3", sim::Paper::kA3},
        {"iso_a3_297x420mm", sim::Paper::kA3},
        {"a4", std::nullopt},       // size names are case-sensitive
        {"A4Small", std::nullopt},  // a different size that only starts like one
        {"MyA4Tray", std::nullopt}, // no longer taken for A4 because it holds "A4"
        {"iso_a5_148x210mm", std::nullopt},
    };
    for (const PaperCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(PaperNamed(c.name), c.paper);
    }
}

} // namespace
} // namespace klv::cups
