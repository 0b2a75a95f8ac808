// The klvps command as a user runs it.
#include "testing/ghostscript.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <ostream>

namespace {

namespace fs = std::filesystem;
using klv::testing::ProcessResult;
using klv::testing::RunProcess;
using klv::testing::TempDir;

ProcessResult Klvps(std::vector<std::string> args) {
    args.insert(args.begin(), KLVPS_TOOL_PATH);
    return RunProcess(args, 120);
}

std::string Slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

class KlvpsTest : public ::testing::Test {
protected:
    void SetUp() override {
        devmode = (dir.Path() / "dm.bin").string();
        const ProcessResult r = Klvps({"devmode", "new", "-o", devmode});
        ASSERT_EQ(r.exitStatus, 0) << r.output;
    }
    nlohmann::json Show() {
        const ProcessResult r = Klvps({"devmode", "show", devmode});
        EXPECT_EQ(r.exitStatus, 0) << r.output;
        return nlohmann::json::parse(r.output, nullptr, false);
    }
    TempDir dir;
    std::string devmode;
};

TEST_F(KlvpsTest, NewFileHoldsPluginDefaults) {
    EXPECT_EQ(fs::file_size(devmode), 1768u);
    const nlohmann::json j = Show();
    ASSERT_FALSE(j.is_discarded());
    EXPECT_EQ(j["dwSize"], 1768);
    EXPECT_EQ(j["dwSignature"], 0x4B4C564F);
    EXPECT_EQ(j["dwVersion"], 2);
    EXPECT_EQ(j["sFullPage"], -1);
    EXPECT_EQ(j["sWatermarkAngle"], 30);
    EXPECT_EQ(j["lWatermarkSize"], 72);
    EXPECT_EQ(j["rgbWatermarkColor"], (nlohmann::json{{"red", 230}, {"green", 230}, {"blue", 230}}));
    EXPECT_EQ(j["szWatermarkText"], "WaterMark");
    EXPECT_EQ(j["szWatermarkFont"], "Helvetica");
    EXPECT_EQ(j["bOptionFlag"], 1);
    EXPECT_EQ(j.size(), 16u);
}

struct SetCase {
    const char* name;
    std::vector<std::string> assignments;
    const char* field;
    nlohmann::json expected;
};

std::ostream& operator<<(std::ostream& out, const SetCase& c) {
    return out << c.name;
}

class KlvpsSetTest : public KlvpsTest, public ::testing::WithParamInterface<SetCase> {};

TEST_P(KlvpsSetTest, RoundTrips) {
    const SetCase& c = GetParam();
    std::vector<std::string> args = {"devmode", "set", devmode};
    args.insert(args.end(), c.assignments.begin(), c.assignments.end());
    const ProcessResult r = Klvps(args);
    ASSERT_EQ(r.exitStatus, 0) << r.output;
    EXPECT_EQ(Show()[c.field], c.expected);
    EXPECT_EQ(fs::file_size(devmode), 1768u);
}

INSTANTIATE_TEST_SUITE_P(
    Fields, KlvpsSetTest,
    ::testing::Values(
        SetCase{"WatermarkOn", {"sWatermarkOn=1"}, "sWatermarkOn", 1},
        SetCase{"NegativeAngle", {"sWatermarkAngle=-45"}, "sWatermarkAngle", -45},
        SetCase{"HexValue", {"dwOptionValue=0x10"}, "dwOptionValue", 16},
        SetCase{"ColourTriple",
                {"rgbWatermarkColor=1,2,3"},
                "rgbWatermarkColor",
                nlohmann::json{{"red", 1}, {"green", 2}, {"blue", 3}}},
        SetCase{"ColourHex",
                {"rgbWatermarkColor=#FF8000"},
                "rgbWatermarkColor",
                nlohmann::json{{"red", 255}, {"green", 128}, {"blue", 0}}},
        SetCase{"Utf8Text",
                {"szWatermarkText=Entw\xC3\xBC rf \xE4\xB8\xAD"},
                "szWatermarkText",
                "Entw\xC3\xBC rf \xE4\xB8\xAD"},
        SetCase{"JobNameAtLimit", {"szJobName=" + std::string(80, 'j')}, "szJobName", std::string(80, 'j')},
        SetCase{"PasswordAtLimit", {"szJobPassword=1234"}, "szJobPassword", "1234"},
        SetCase{"ShorterTextClearsRest",
                {"szWatermarkText=LONGER TEXT", "szWatermarkText=ab"},
                "szWatermarkText",
                "ab"},
        SetCase{"EmptyString", {"szWatermarkText="}, "szWatermarkText", ""},
        SetCase{"LastAssignmentWins", {"sFlip=1", "sFlip=0"}, "sFlip", 0}),
    [](const auto& info) { return std::string(info.param.name); });

struct BadCase {
    const char* name;
    std::vector<std::string> args; // "DM" stands for the device-mode file
    const char* message;
};

std::ostream& operator<<(std::ostream& out, const BadCase& c) {
    return out << c.name;
}

class KlvpsBadInputTest : public KlvpsTest, public ::testing::WithParamInterface<BadCase> {};

// Every bad input fails with a message and leaves the file as it was.
TEST_P(KlvpsBadInputTest, FailsAndKeepsFile) {
    const BadCase& c = GetParam();
    const std::string before = Slurp(devmode);
    std::vector<std::string> args;
    for (const std::string& a : c.args)
        args.push_back(a == "DM" ? devmode : a);
    const ProcessResult r = Klvps(args);
    EXPECT_NE(r.exitStatus, 0);
    EXPECT_NE(r.output.find(c.message), std::string::npos) << r.output;
    EXPECT_EQ(Slurp(devmode), before);
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, KlvpsBadInputTest,
    ::testing::Values(
        BadCase{"UnknownField", {"devmode", "set", "DM", "sColour=1"}, "unknown field 'sColour'"},
        BadCase{"NoEquals", {"devmode", "set", "DM", "sFlip"}, "FIELD=VALUE"},
        BadCase{"NotANumber", {"devmode", "set", "DM", "sFlip=yes"}, "not a number"},
        BadCase{"Short16BitOverflow", {"devmode", "set", "DM", "sWatermarkAngle=32768"}, "outside"},
        BadCase{"ByteOverflow", {"devmode", "set", "DM", "bOptionFlag=256"}, "outside"},
        BadCase{"NegativeUnsigned", {"devmode", "set", "DM", "dwOptionValue=-1"}, "outside"},
        BadCase{
            "JobNameTooLong", {"devmode", "set", "DM", "szJobName=" + std::string(81, 'j')}, "at most 80"},
        BadCase{"PasswordTooLong", {"devmode", "set", "DM", "szJobPassword=12345"}, "at most 4"},
        BadCase{"TextTooLong",
                {"devmode", "set", "DM", "szWatermarkText=" + std::string(128, 't')},
                "at most 127"},
        BadCase{
            "FontTooLong", {"devmode", "set", "DM", "szWatermarkFont=" + std::string(64, 'F')}, "at most 63"},
        BadCase{"FontWithSpace",
                {"devmode", "set", "DM", "szWatermarkFont=Times Roman"},
                "not a PostScript font"},
        BadCase{"BadColour", {"devmode", "set", "DM", "rgbWatermarkColor=256,0,0"}, "not a colour"},
        BadCase{"InvalidUtf8", {"devmode", "set", "DM", "szWatermarkText=\xFF"}, "not valid UTF-8"},
        BadCase{"OneBadOfMany", {"devmode", "set", "DM", "sFlip=1", "sFullPage=x"}, "sFullPage"},
        BadCase{"ShowMissingFile", {"devmode", "show", "/nonexistent/dm.bin"}, "no such file"},
        BadCase{"UnknownSubcommand", {"frobnicate"}, "frobnicate"},
        BadCase{"PrintWithoutOutput", {"print"}, "--output"},
        BadCase{"PrintBadPaper", {"print", "--paper", "b5", "-o", "/dev/null"}, "b5"},
        BadCase{"PrintBadDpi", {"print", "--dpi", "10", "-o", "/dev/null"}, "--dpi"},
        BadCase{"PrintMissingPlugin",
                {"print", "--plugin", "/nonexistent/lib.so", "-o", "/dev/null"},
                "cannot load the plug-in"},
        BadCase{"PrintBadSet", {"print", "--set", "nope=1", "-o", "/dev/null"}, "unknown field"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(KlvpsTest, WrongSizedFileIsRefused) {
    const fs::path shortFile = dir.Path() / "short.bin";
    std::ofstream(shortFile, std::ios::binary) << Slurp(devmode).substr(0, 1767);
    for (const char* command : {"show", "set"}) {
        std::vector<std::string> args = {"devmode", command, shortFile.string()};
        if (std::string(command) == "set")
            args.push_back("sFlip=1");
        const ProcessResult r = Klvps(args);
        EXPECT_NE(r.exitStatus, 0) << command;
        EXPECT_NE(r.output.find("1767"), std::string::npos) << r.output;
    }
    EXPECT_EQ(fs::file_size(shortFile), 1767u);
}

TEST_F(KlvpsTest, PrintAndPreview) {
    const ProcessResult set = Klvps({"devmode", "set", devmode, "sWatermarkOn=1", "szWatermarkText=Q3"});
    ASSERT_EQ(set.exitStatus, 0) << set.output;
    const std::string ps = (dir.Path() / "job.ps").string();
    const ProcessResult print = Klvps({"print", "--devmode", devmode, "--pages", "2", "--document",
                                       "C:\\Reports\\Q3 (final).txt", "--text", "hello", "-o", ps});
    ASSERT_EQ(print.exitStatus, 0) << print.output;
    EXPECT_NE(print.output.find("page 2 of 2"), std::string::npos) << print.output;
    const std::string job = Slurp(ps);
    EXPECT_EQ(job.rfind("%!PS-Adobe-3.0", 0), 0u);
    EXPECT_NE(job.find("(hello)"), std::string::npos);

    const std::string png = (dir.Path() / "page.png").string();
    const ProcessResult preview = Klvps({"preview", ps, "-o", png, "--page", "2", "--dpi", "20"});
    ASSERT_EQ(preview.exitStatus, 0) << preview.output;
    EXPECT_EQ(Slurp(png).substr(0, 8), "\x89PNG\r\n\x1a\n");

    const ProcessResult missing = Klvps({"preview", ps, "-o", png + "3", "--page", "3"});
    EXPECT_NE(missing.exitStatus, 0);
    EXPECT_NE(missing.output.find("no page 3"), std::string::npos) << missing.output;
    EXPECT_FALSE(fs::exists(png + "3"));
}

TEST_F(KlvpsTest, PreviewReportsPostScriptError) {
    const fs::path bad = dir.Path() / "bad.ps";
    std::ofstream(bad) << "%!PS\nklvNoSuchOperator showpage\n";
    const fs::path png = dir.Path() / "bad.png";
    const ProcessResult r = Klvps({"preview", bad.string(), "-o", png.string()});
    EXPECT_NE(r.exitStatus, 0);
    EXPECT_NE(r.output.find("PostScript error /undefined in klvNoSuchOperator"), std::string::npos)
        << r.output;
    EXPECT_FALSE(fs::exists(png));
}

TEST(KlvpsInfoTest, PrintsSignatureAndVersion) {
    const ProcessResult r = Klvps({"info"});
    ASSERT_EQ(r.exitStatus, 0) << r.output;
    EXPECT_NE(r.output.find("0x4B4C564F"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("version:       2"), std::string::npos) << r.output;
}

TEST(KlvpsInfoTest, PluginFromEnvironmentIsUsed) {
    const ProcessResult r =
        RunProcess({"env", "KLVPS_PLUGIN=/nonexistent/from-env.so", KLVPS_TOOL_PATH, "info"});
    EXPECT_NE(r.exitStatus, 0);
    EXPECT_NE(r.output.find("/nonexistent/from-env.so"), std::string::npos) << r.output;
}

TEST(KlvpsHelpTest, HelpListsCommands) {
    const ProcessResult r = Klvps({"--help"});
    EXPECT_EQ(r.exitStatus, 0);
    for (const char* word : {"print", "preview", "devmode", "info"})
        EXPECT_NE(r.output.find(word), std::string::npos) << word;
}

} // namespace
