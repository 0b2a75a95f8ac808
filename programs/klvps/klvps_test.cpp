// The klvps command as a user runs it.
#include "libraries/support/files.h"
#include "libraries/support/process.h"
#include "libraries/support/temp_dir.h"
#include "testing/require_ghostscript.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <map>

namespace {

namespace fs = std::filesystem;
using klv::support::ProcessResult;
using klv::support::RunProcess;
using nlohmann::json;

ProcessResult Klvps(std::vector<std::string> args) {
    args.insert(args.begin(), KLVPS_TOOL_PATH);
    return RunProcess(args, 120);
}

std::string Slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class KlvpsTest : public ::testing::Test {
protected:
    void SetUp() override {
        const ProcessResult r = Klvps({"devmode", "new", "-o", devmode});
        ASSERT_EQ(r.exitStatus, 0) << r.output;
    }
    json Show() {
        const ProcessResult r = Klvps({"devmode", "show", devmode});
        EXPECT_EQ(r.exitStatus, 0) << r.output;
        return json::parse(r.output, nullptr, false);
    }
    klv::support::TempDir dir;
    std::string devmode = (dir.Path() / "dm.bin").string();
};

TEST_F(KlvpsTest, DevModeNewShowSetRoundTrip) {
    const json defaults = Show();
    ASSERT_FALSE(defaults.is_discarded());
    EXPECT_EQ(defaults["dwSize"], 1768);
    EXPECT_EQ(defaults.size(), 16u);
    // Applied in order, each by its own set.
    const struct {
        std::vector<std::string> assignments;
        const char* field;
        json expected;
    } cases[] = {
        {{"sWatermarkAngle=-45"}, "sWatermarkAngle", -45},
        {{"dwOptionValue=0x10"}, "dwOptionValue", 16},
        {{"rgbWatermarkColor=1,2,3"}, "rgbWatermarkColor", json{{"red", 1}, {"green", 2}, {"blue", 3}}},
        {{"rgbWatermarkColor=#FF8000"}, "rgbWatermarkColor", json{{"red", 255}, {"green", 128}, {"blue", 0}}},
        {{"szWatermarkText=Entw\xC3\xBC rf \xE4\xB8\xAD"}, "szWatermarkText", "Entw\xC3\xBC rf \xE4\xB8\xAD"},
        {{"szWatermarkText=ab"}, "szWatermarkText", "ab"}, // the rest of the longer text is cleared
        {{"szJobName=" + std::string(80, 'j')}, "szJobName", std::string(80, 'j')},
        {{"sFlip=1", "sFlip=0"}, "sFlip", 0},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {"devmode", "set", devmode};
        args.insert(args.end(), c.assignments.begin(), c.assignments.end());
        const ProcessResult r = Klvps(args);
        ASSERT_EQ(r.exitStatus, 0) << r.output;
        EXPECT_EQ(Show()[c.field], c.expected) << c.assignments.front();
    }
    EXPECT_EQ(fs::file_size(devmode), 1768u);
}

// Every bad input fails with a message, leaves its input files as they were
// and writes no output.
TEST_F(KlvpsTest, BadInputFails) {
    const std::map<std::string, std::string> files = {{"DM", devmode},
                                                      {"SHORT", (dir.Path() / "short.bin").string()},
                                                      {"BADPS", (dir.Path() / "bad.ps").string()},
                                                      {"EMPTY", (dir.Path() / "empty.ps").string()}};
    std::ofstream(files.at("SHORT"), std::ios::binary) << Slurp(devmode).substr(0, 1767);
    std::ofstream(files.at("BADPS")) << "%!PS\nklvNoSuchOperator showpage\n";
    std::ofstream(files.at("EMPTY")) << "";
    const std::string out = (dir.Path() / "out").string();
    const struct {
        std::vector<std::string> args;
        const char* message;
    } cases[] = {
        {{"devmode", "set", "DM", "sColour=1"}, "unknown field 'sColour'"},
        {{"devmode", "set", "DM", "sFlip=yes"}, "not a number"},
        {{"devmode", "set", "DM", "dwOptionValue=-1"}, "outside"},
        {{"devmode", "set", "DM", "szJobName=" + std::string(81, 'j')}, "at most 80"},
        {{"devmode", "set", "DM", "szWatermarkFont=Times Roman"}, "not a PostScript font"},
        {{"devmode", "set", "DM", "rgbWatermarkColor=256,0,0"}, "not a colour"},
        {{"devmode", "set", "DM", "szWatermarkText=\xFF"}, "not valid UTF-8"},
        {{"devmode", "set", "DM", "sFlip=1", "sFullPage=x"}, "sFullPage"},
        {{"devmode", "set", "SHORT", "sFlip=1"}, "1767"},
        {{"frobnicate"}, "frobnicate"},
        {{"print"}, "--output"},
        {{"print", "--plugin", "/nonexistent/lib.so", "-o", out}, "cannot load the plug-in"},
        {{"print", "--devmode", "SHORT", "-o", out}, "1767"},
        {{"preview", "BADPS", "-o", out},
         klv::gs::GhostscriptAvailable() ? "PostScript error /undefined in klvNoSuchOperator"
                                         : "cannot run Ghostscript"},
        {{"print", "BADPS", "-o", out}, "no DSC header"},
        {{"print", "EMPTY", "-o", out}, "the job is empty"},
        {{"print", "DM", "-o", out}, "not valid UTF-8"},
        {{"print", "BADPS", "--pages", "2", "-o", out}, "excludes"},
        {{"print", "-o", "-"}, "existing job only"},
    };
    std::map<std::string, std::string> before;
    for (const auto& [name, path] : files)
        before[name] = Slurp(path);
    for (const auto& c : cases) {
        std::vector<std::string> args;
        for (const std::string& a : c.args)
            args.push_back(files.count(a) ? files.at(a) : a);
        const ProcessResult r = Klvps(args);
        EXPECT_NE(r.exitStatus, 0) << c.message;
        EXPECT_NE(r.output.find(c.message), std::string::npos) << r.output;
        EXPECT_FALSE(fs::exists(out)) << c.message;
        for (const auto& [name, path] : files)
            EXPECT_EQ(Slurp(path), before[name]) << name << " changed by " << c.message;
    }
}

TEST_F(KlvpsTest, PrintAndPreview) {
    KLV_REQUIRE_GHOSTSCRIPT();
    const std::string ps = (dir.Path() / "job.ps").string(), png = (dir.Path() / "page.png").string();
    const ProcessResult print =
        Klvps({"print", "--devmode", devmode, "--set", "sWatermarkOn=1", "--pages", "2", "--document",
               "C:\\Reports\\Q3 (final).txt", "--text", "hello", "-o", ps});
    ASSERT_EQ(print.exitStatus, 0) << print.output;
    EXPECT_NE(print.output.find("page 2 of 2"), std::string::npos) << print.output;
    const std::string job = Slurp(ps);
    EXPECT_EQ(job.rfind("%!PS-Adobe-3.0", 0), 0u);
    EXPECT_NE(job.find("(hello)"), std::string::npos);

    const ProcessResult preview = Klvps({"preview", ps, "-o", png, "--page", "2", "--dpi", "20"});
    ASSERT_EQ(preview.exitStatus, 0) << preview.output;
    EXPECT_EQ(Slurp(png).substr(0, 8), "\x89PNG\r\n\x1a\n");

    const ProcessResult missing = Klvps({"preview", ps, "-o", png + "3", "--page", "3"});
    EXPECT_NE(missing.exitStatus, 0);
    EXPECT_NE(missing.output.find("no page 3"), std::string::npos) << missing.output;
    EXPECT_FALSE(fs::exists(png + "3"));
}

// --trace prints every call made to the plug-in and the plug-in's trace
// lines of the job; without it, none.
TEST_F(KlvpsTest, PrintTrace) {
    const std::string ps = (dir.Path() / "job.ps").string();
    const std::string line = "klvps: plug-in trace: no job id from StartDoc; billing the last listed job";
    const ProcessResult traced = Klvps({"print", "--job-id", "0", "--trace", "-o", ps});
    ASSERT_EQ(traced.exitStatus, 0) << traced.output;
    EXPECT_NE(traced.output.find(line), std::string::npos) << traced.output;
    for (const char* call :
         {"klvps: call: EnablePDEV -> 0x00000000\n", "klvps: call: DrvPlgBlt -> hook -> driver -> 1\n",
          "klvps: call: DrvRealizeBrush -> hook, answered there -> 1\n",
          "klvps: call: DisablePDEV -> 0x00000000\n"})
        EXPECT_NE(traced.output.find(call), std::string::npos) << call << traced.output;
    const std::string job = Slurp(ps);
    const ProcessResult quiet = Klvps({"print", "--job-id", "0", "-o", ps});
    ASSERT_EQ(quiet.exitStatus, 0) << quiet.output;
    EXPECT_EQ(quiet.output.find("trace"), std::string::npos) << quiet.output;
    EXPECT_EQ(quiet.output.find("klvps: call:"), std::string::npos) << quiet.output;
    EXPECT_EQ(Slurp(ps), job);
}

// An existing job, with CR LF line endings as Windows applications write
// them; its second page has no page setup of its own.
const char kExistingJob[] =
    "%!PS-Adobe-3.0\r\n%%Pages: 2\r\n%%EndComments\r\n%%BeginProlog\r\n%%EndProlog\r\n"
    "%%BeginSetup\r\n%%EndSetup\r\n%%Page: 1 1\r\n%%BeginPageSetup\r\n%%EndPageSetup\r\n"
    "showpage\r\n%%Page: 2 2\r\nshowpage\r\n%%Trailer\r\n%%EOF\r\n";

TEST_F(KlvpsTest, PrintsAnExistingJobThroughThePlugin) {
    const std::string input = (dir.Path() / "Memo.ps").string(), output = (dir.Path() / "out.ps").string();
    std::ofstream(input, std::ios::binary) << kExistingJob;
    const ProcessResult print = Klvps({"print", input, "--devmode", devmode, "--set", "sWatermarkOn=1",
                                       "--user", "alice", "--job-id", "7", "-o", output});
    ASSERT_EQ(print.exitStatus, 0) << print.output;
    EXPECT_NE(print.output.find("2 pages"), std::string::npos) << print.output;
    const std::string job = Slurp(output);
    // The accounting block bills the user, with the file's name as the
    // document, before the end of the header comments.
    const std::size_t billed = job.find("(alice) /ZUDurareDirod");
    ASSERT_NE(billed, std::string::npos) << job;
    EXPECT_LT(billed, job.find("%%EndComments\r\n"));
    EXPECT_NE(job.find("(Memo.ps) /ZUDurareDirod"), std::string::npos);
    // The watermark on both pages, the second in a page setup added for it.
    const std::string invoke = "%%BeginPageSetup\r\nuserdict /DrawWaterMark get exec\r\n";
    EXPECT_EQ(job.find(invoke), job.find("%%Page: 1 1\r\n") + 13);
    EXPECT_EQ(job.find(invoke, job.find("%%Page: 2 2")), job.find("%%Page: 2 2\r\n") + 13);
    EXPECT_TRUE(job.ends_with("showpage\r\n%%Trailer\r\n%%EOF\r\n"));
    EXPECT_TRUE(klv::gs::RunGhostscript(job, {"-sDEVICE=nullpage"}).ok);

    // The same bytes streamed to standard output.
    const ProcessResult streamed = RunProcess(
        {"sh", "-c",
         "\"$0\" print \"$1\" --devmode \"$2\" --set sWatermarkOn=1 --user alice --job-id 7 -o - 2>/dev/null",
         KLVPS_TOOL_PATH, input, devmode});
    ASSERT_EQ(streamed.exitStatus, 0);
    EXPECT_EQ(streamed.output, job);

    // A job without a DSC header is copied when asked.
    const std::string plain = (dir.Path() / "plain.ps").string();
    std::ofstream(plain, std::ios::binary) << "%!\n0 0 moveto showpage\n";
    const ProcessResult copied = Klvps({"print", plain, "--pass-through", "-o", output});
    ASSERT_EQ(copied.exitStatus, 0) << copied.output;
    EXPECT_EQ(Slurp(output), "%!\n0 0 moveto showpage\n");
}

TEST_F(KlvpsTest, PrintsPdfFilesThroughGhostscript) {
    const std::string pdf = "/usr/share/cups/data/default-testpage.pdf";
    if (!fs::exists(pdf))
        GTEST_SKIP() << pdf << " is not installed";
    const std::string output = (dir.Path() / "out.ps").string();
    const ProcessResult print = Klvps({"print", pdf, "--set", "sWatermarkOn=1", "-o", output});
    ASSERT_EQ(print.exitStatus, 0) << print.output;
    const std::string job = Slurp(output);
    EXPECT_EQ(job.rfind("%!PS-Adobe-3.0", 0), 0u);
    EXPECT_NE(job.find("(default-testpage.pdf) /ZUDurareDirod"), std::string::npos);
    EXPECT_NE(job.find("%%BeginPageSetup\nuserdict /DrawWaterMark get exec\r\n"), std::string::npos);

    const std::string notPdf = (dir.Path() / "notes.pdf").string(),
                      damaged = (dir.Path() / "damaged.pdf").string();
    std::ofstream(notPdf) << "just text\n";
    std::ofstream(damaged) << "%PDF-1.4\n1 0 obj\n<< /Type /Catalog";
    const struct {
        std::vector<std::string> command;
        const char* message;
    } failures[] = {
        {{KLVPS_TOOL_PATH, "print", notPdf, "-o", output + "2"}, "is not one"},
        {{KLVPS_TOOL_PATH, "print", damaged, "-o", output + "2"}, "damaged"},
        {{"env", "KLVPS_GS=/nonexistent/gs", KLVPS_TOOL_PATH, "print", pdf, "-o", output + "2"},
         "needs Ghostscript"},
    };
    for (const auto& f : failures) {
        const ProcessResult r = RunProcess(f.command);
        EXPECT_NE(r.exitStatus, 0) << f.message;
        EXPECT_NE(r.output.find(f.message), std::string::npos) << r.output;
        EXPECT_FALSE(fs::exists(output + "2")) << f.message;
    }
}

TEST(KlvpsInfoTest, HelpAndInfo) {
    const ProcessResult help = Klvps({"--help"});
    EXPECT_EQ(help.exitStatus, 0);
    for (const char* word : {"print", "preview", "devmode", "info"})
        EXPECT_NE(help.output.find(word), std::string::npos) << word;
    const ProcessResult info = Klvps({"info"});
    ASSERT_EQ(info.exitStatus, 0) << info.output;
    EXPECT_NE(info.output.find("0x4B4C564F"), std::string::npos) << info.output;
    EXPECT_NE(info.output.find("version:       2"), std::string::npos) << info.output;
    const ProcessResult env =
        RunProcess({"env", "KLVPS_PLUGIN=/nonexistent/env.so", KLVPS_TOOL_PATH, "info"});
    EXPECT_NE(env.exitStatus, 0);
    EXPECT_NE(env.output.find("/nonexistent/env.so"), std::string::npos) << env.output;
}

} // namespace
