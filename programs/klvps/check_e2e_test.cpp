// Jobs printed with `klvps print` and read back with `klvps check`: what the
// printer receives must be exactly what was set. Also the rendered
// watermark, golden jobs and the errors of every subcommand.
#include "libraries/ghostscript/ghostscript.h"
#include "libraries/support/files.h"
#include "libraries/support/process.h"
#include "libraries/support/temp_dir.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <numbers>
#include <optional>
#include <random>
#include <sstream>

namespace {

namespace fs = std::filesystem;
using klv::support::ProcessResult;
using klv::support::RunProcess;
using nlohmann::json;

ProcessResult Klvps(std::vector<std::string> args, double timeout = 120) {
    args.insert(args.begin(), KLVPS_TOOL_PATH);
    return RunProcess(args, timeout);
}

std::string Slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string Hex(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes)
        out += {digits[c >> 4], digits[c & 15]};
    return out;
}

bool GhostscriptMissing() {
    return !klv::gs::GhostscriptAvailable();
}

// The colour the printer sets: each component as the job writes it, with
// two decimals.
int Quantized(int component) {
    return static_cast<int>(std::lround(std::round(component / 255.0 * 100) / 100 * 255));
}

struct WatermarkSet {
    std::string text;
    std::string font;
    int size;
    int angle;
    int red, green, blue;
};

// One row: options given to `klvps print`, and what the printer must
// receive. Names are the bytes in the row's code page.
struct MatrixRow {
    const char* name;
    std::vector<std::string> printArgs;
    unsigned codePage;
    std::string user;
    std::string file;
    std::string ticketName;
    std::string password;
    bool fullPage;
    bool flip;
    std::optional<WatermarkSet> watermark;
    int pages;
};

std::ostream& operator<<(std::ostream& out, const MatrixRow& row) {
    return out << row.name;
}

// The watermark's text as a person gives it: braces doubled, since a brace
// opens a variable.
std::string Literal(const std::string& text) {
    std::string out;
    for (char c : text) {
        out.push_back(c);
        if (c == '{' || c == '}')
            out.push_back(c);
    }
    return out;
}

std::vector<std::string> WatermarkArgs(const WatermarkSet& w) {
    return {"--watermark",
            Literal(w.text),
            "--watermark-font",
            w.font,
            "--watermark-size",
            std::to_string(w.size),
            "--watermark-angle",
            std::to_string(w.angle),
            "--watermark-color",
            std::to_string(w.red) + "," + std::to_string(w.green) + "," + std::to_string(w.blue)};
}

std::string LongName() {
    std::string name;
    for (int i = 0; i < 200; ++i)
        name.push_back(static_cast<char>('A' + i % 26));
    return name;
}

const WatermarkSet kRedFlat{"CONFIDENTIAL", "Helvetica", 60, 0, 255, 0, 0};
const WatermarkSet kGreenThirty{"DRAFT (v2)", "Times-Bold", 72, 30, 0, 160, 0};
const WatermarkSet kBlueUpright{"COPY", "Courier", 96, 90, 0, 0, 255};
const WatermarkSet kDarkRedFalling{"INTERNAL USE ONLY", "Helvetica-Bold", 40, -45, 200, 40, 40};

std::vector<MatrixRow> Matrix() {
    const std::string longName = LongName();
    return {
        {"Defaults", {}, 1252, "user1", "Document", "Document", "", false, false, std::nullopt, 1},
        {"WatermarkAt0", {}, 1252, "user1", "Document", "Document", "", false, false, kRedFlat, 1},
        {"WatermarkAt30OnTwoPages",
         {"--pages", "2"},
         1252,
         "user1",
         "Document",
         "Document",
         "",
         false,
         false,
         kGreenThirty,
         2},
        {"WatermarkAt90", {}, 1252, "user1", "Document", "Document", "", false, false, kBlueUpright, 1},
        {"WatermarkAtMinus45",
         {},
         1252,
         "user1",
         "Document",
         "Document",
         "",
         false,
         false,
         kDarkRedFalling,
         1},
        {"FullPage",
         {"--full-page"},
         1252,
         "user1",
         "Document",
         "Document",
         "",
         true,
         false,
         std::nullopt,
         1},
        {"Flip", {"--flip"}, 1252, "user1", "Document", "Document", "", false, true, std::nullopt, 1},
        {"EverythingOn",
         {"--full-page", "--flip", "--job-name", "Q3", "--job-password", "9876"},
         1252,
         "user1",
         "Document",
         "Q3",
         "9876",
         true,
         true,
         kRedFlat,
         1},
        {"TicketSet",
         {"--job-name", "Quarterly report", "--job-password", "ab12"},
         1252,
         "user1",
         "Document",
         "Quarterly report",
         "ab12",
         false,
         false,
         std::nullopt,
         1},
        {"TicketAndNamesEmpty",
         {"--document", "C:\\Temp\\", "--user", ""},
         1252,
         "",
         "",
         "",
         "",
         false,
         false,
         std::nullopt,
         1},
        {"ParenthesesAndBackslashes",
         {"--user", "DOM\\ann (it)", "--document", "C:\\Q3\\x) (y ((z).txt"},
         1252,
         "DOM\\ann (it)",
         "x) (y ((z).txt",
         "x) (y ((z).txt",
         "",
         false,
         false,
         std::nullopt,
         1},
        {"Latin1Letters",
         {"--user", "Jos\xC3\xA9 M\xC3\xBCller", "--document", "Caf\xC3\xA9 cr\xC3\xA8me.doc", "--job-name",
          "R\xC3\xA9sum\xC3\xA9"},
         1252,
         "Jos\xE9 M\xFCller",
         "Caf\xE9 cr\xE8me.doc",
         "R\xE9sum\xE9",
         "",
         false,
         false,
         std::nullopt,
         1},
        // The ticket writes each 16-bit unit in as many hex digits as it
        // needs, so the printer reads the pairs of digits of 65e5 672c 8a9e.
        {"CjkUnderCodePage932",
         {"--codepage", "932", "--user", "\xE5\xB1\xB1\xE7\x94\xB0", "--document",
          "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E.txt"},
         932,
         "\x8E\x52\x93\x63",
         "\x93\xFA\x96\x7B\x8C\xEA.txt",
         "\x65\xE5\x67\x2C\x8A\x9E.txt",
         "",
         false,
         false,
         std::nullopt,
         1},
        {"DocumentName200Characters",
         {"--document", longName},
         1252,
         "user1",
         longName.substr(0, 127),
         longName.substr(0, 78),
         "",
         false,
         false,
         std::nullopt,
         1},
        {"ThirdInAQueueOfFive",
         {"--queue-before", "2", "--queue-after", "2", "--job-id", "30", "--user", "carol", "--document",
          "Mine"},
         1252,
         "carol",
         "Mine",
         "Mine",
         "",
         false,
         false,
         std::nullopt,
         1},
    };
}

class CheckMatrixTest : public ::testing::TestWithParam<MatrixRow> {
protected:
    void SetUp() override {
        if (GhostscriptMissing())
            GTEST_SKIP() << "Ghostscript cannot be started";
    }
    klv::support::TempDir dir;
    std::string job = (dir.Path() / "job.ps").string();
};

// Prints the row's job (from input, when given) and checks that `klvps
// check` reads back exactly what the row set.
void PrintAndExpectReport(const MatrixRow& row, const std::string& job, const std::string& input = "") {
    std::vector<std::string> args = {"print", "-o", job};
    if (!input.empty())
        args.push_back(input);
    args.insert(args.end(), row.printArgs.begin(), row.printArgs.end());
    if (row.watermark) {
        const std::vector<std::string> w = WatermarkArgs(*row.watermark);
        args.insert(args.end(), w.begin(), w.end());
    }
    const ProcessResult print = Klvps(args);
    ASSERT_EQ(print.exitStatus, 0) << print.output;

    const ProcessResult check = Klvps({"check", "--json", "--codepage", std::to_string(row.codePage), job});
    ASSERT_EQ(check.exitStatus, 0) << check.output;
    const json r = json::parse(check.output, nullptr, false);
    ASSERT_FALSE(r.is_discarded()) << check.output;

    EXPECT_EQ(r["clean"], true);
    EXPECT_EQ(r["otherOutput"], json::array());
    EXPECT_EQ(r["pages"], row.pages);
    EXPECT_EQ(r["accounting"]["user"]["bytes"], Hex(row.user));
    EXPECT_EQ(r["accounting"]["file"]["bytes"], Hex(row.file));
    EXPECT_EQ(r["accounting"]["jobName"]["bytes"], Hex(row.file));
    EXPECT_EQ(r["accounting"]["jobInfo"], true);
    EXPECT_EQ(r["ticket"]["nt"], true);
    EXPECT_EQ(r["ticket"]["jobName"]["bytes"], Hex(row.ticketName));
    EXPECT_EQ(r["ticket"]["password"]["bytes"], Hex(row.password));
    EXPECT_EQ(r["originPatch"], row.fullPage);
    EXPECT_EQ(r["flip"], row.flip);

    const json& w = r["watermark"];
    EXPECT_EQ(w["defined"], row.watermark.has_value());
    if (!row.watermark) {
        EXPECT_EQ(w["pages"], json::array());
        return;
    }
    EXPECT_EQ(w["text"]["bytes"], Hex(row.watermark->text));
    EXPECT_EQ(w["font"], row.watermark->font);
    EXPECT_EQ(w["size"], row.watermark->size);
    EXPECT_EQ(w["angle"], row.watermark->angle);
    EXPECT_EQ(w["rgb"], (json{{"red", Quantized(row.watermark->red)},
                              {"green", Quantized(row.watermark->green)},
                              {"blue", Quantized(row.watermark->blue)}}));
    std::vector<int> everyPage;
    for (int p = 1; p <= row.pages; ++p)
        everyPage.push_back(p);
    EXPECT_EQ(w["pages"], everyPage);
}

TEST_P(CheckMatrixTest, ReportsExactlyWhatWasSet) {
    PrintAndExpectReport(GetParam(), job);
}

INSTANTIATE_TEST_SUITE_P(Rows, CheckMatrixTest, ::testing::ValuesIn(Matrix()),
                         [](const ::testing::TestParamInfo<MatrixRow>& info) { return info.param.name; });

// Random settings and names within the fields' room, each printed and read
// back: the sample job through the simulator, and an existing job from
// another producer through the filter mode. KLVPS_PROPERTY_SEED repeats a
// run; the seed is printed with every failure.
class RandomRows {
public:
    explicit RandomRows(unsigned seed) : random_(seed) {}

    MatrixRow Next(const char* name, int pages) {
        MatrixRow row{name, {},         1252,     Text(1, 40), Text(1, 60, kFileAlphabet),
                      "",   Text(0, 4), Chance(), Chance(),    std::nullopt,
                      pages};
        const std::string ticketName = Chance() ? Text(1, 80) : "";
        row.ticketName = ticketName.empty() ? row.file : ticketName;
        row.printArgs = {
            "--user",     row.user,     "--document", row.file,         "--job-password",
            row.password, "--job-name", ticketName,   "--queue-before", std::to_string(Between(0, 4))};
        if (row.fullPage)
            row.printArgs.push_back("--full-page");
        if (row.flip)
            row.printArgs.push_back("--flip");
        if (Chance()) {
            const char* fonts[] = {"Helvetica", "Times-Bold", "Courier", "Helvetica-BoldOblique"};
            row.watermark =
                WatermarkSet{Text(1, 60),     fonts[Between(0, 3)], Between(1, 1000), Between(-360, 360),
                             Between(0, 255), Between(0, 255),      Between(0, 255)};
        }
        return row;
    }

private:
    int Between(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }
    bool Chance() { return Between(0, 1) == 1; }
    // Printable ASCII, parentheses and backslashes most of all, as names
    // that must be escaped. Document names have no backslash: the
    // accounting block keeps only what follows the last one, as the name
    // of a file.
    static constexpr std::string_view kAlphabet = "()\\\\()ABCxyz019 .-_#%$&'*+,;=?@[]{}~";
    static constexpr std::string_view kFileAlphabet = "()()ABCxyz019 .-_#%$&'*+,;=?@[]{}~";
    std::string Text(int shortest, int longest, std::string_view alphabet = kAlphabet) {
        std::string text;
        for (int i = Between(shortest, longest); i > 0; --i)
            text.push_back(
                alphabet[static_cast<std::size_t>(Between(0, static_cast<int>(alphabet.size()) - 1))]);
        while (!text.empty() && text.back() == ' ')
            text.back() = 'z'; // the command line keeps them, but a name of spaces only reads as empty
        return text;
    }
    std::mt19937 random_;
};

unsigned PropertySeed() {
    const char* given = std::getenv("KLVPS_PROPERTY_SEED");
    return given != nullptr ? static_cast<unsigned>(std::strtoul(given, nullptr, 10)) : 20261209u;
}

TEST(CheckPropertyTest, RandomSettingsAreReadBackExactly) {
    if (GhostscriptMissing())
        GTEST_SKIP() << "Ghostscript cannot be started";
    const unsigned seed = PropertySeed();
    SCOPED_TRACE(::testing::Message() << "KLVPS_PROPERTY_SEED=" << seed);
    RandomRows rows(seed);
    klv::support::TempDir dir;
    const std::string job = (dir.Path() / "job.ps").string();
    for (int i = 0; i < 12; ++i) {
        const int pages = 1 + i % 3;
        MatrixRow row = rows.Next("sample", pages);
        row.printArgs.push_back("--pages");
        row.printArgs.push_back(std::to_string(pages));
        SCOPED_TRACE(::testing::Message() << "sample job " << i);
        PrintAndExpectReport(row, job);
    }

    // enscript's job of a short text, through the filter mode.
    const std::string text = (dir.Path() / "notes.txt").string(), input = (dir.Path() / "notes.ps").string();
    std::ofstream(text) << "Minutes of the meeting\n\nEvery region reported.\n";
    if (RunProcess({"enscript", "-q", "-o", input, text}).exitStatus != 0)
        GTEST_SKIP() << "enscript is not installed (Debian package enscript)";
    for (int i = 0; i < 6; ++i) {
        SCOPED_TRACE(::testing::Message() << "existing job " << i);
        PrintAndExpectReport(rows.Next("existing", 1), job, input);
    }
}

// The text report shows names in the code page's characters.
TEST(CheckTextTest, ShowsNamesInTheCodePage) {
    if (GhostscriptMissing())
        GTEST_SKIP() << "Ghostscript cannot be started";
    klv::support::TempDir dir;
    const std::string job = (dir.Path() / "job.ps").string();
    ASSERT_EQ(Klvps({"print", "--codepage", "932", "--user", "\xE5\xB1\xB1\xE7\x94\xB0", "--document",
                     "Caf\xC3\xA9", "-o", job})
                  .exitStatus,
              0);
    const ProcessResult check = Klvps({"check", "--codepage", "932", job});
    EXPECT_EQ(check.exitStatus, 0) << check.output;
    EXPECT_NE(check.output.find("user name:          \xE5\xB1\xB1\xE7\x94\xB0\n"), std::string::npos)
        << check.output;
    EXPECT_NE(check.output.find("accounting (code page 932)"), std::string::npos) << check.output;
}

// Rendered pages: pixels of the watermark's colour near the centre exactly
// when it is on, and spread along its angle.
struct RenderRow {
    const char* name;
    std::optional<WatermarkSet> watermark;
    std::vector<std::string> printArgs;
};

// The direction in which a set of pixels spreads, in degrees
// counter-clockwise from the x axis (0 to 180), from their second moments.
double SpreadAngle(const std::vector<std::pair<int, int>>& pixels) {
    double mx = 0, my = 0;
    for (const auto& [x, y] : pixels) {
        mx += x;
        my += y;
    }
    mx /= static_cast<double>(pixels.size());
    my /= static_cast<double>(pixels.size());
    double sxx = 0, syy = 0, sxy = 0;
    for (const auto& [x, y] : pixels) {
        const double dx = x - mx, dy = my - y; // y grows downwards in the raster
        sxx += dx * dx;
        syy += dy * dy;
        sxy += dx * dy;
    }
    double degrees = 0.5 * std::atan2(2 * sxy, sxx - syy) * 180 / std::numbers::pi;
    return degrees < 0 ? degrees + 180 : degrees;
}

TEST(CheckRenderTest, WatermarkPixelsAtTheCentreAlongTheAngle) {
    if (GhostscriptMissing())
        GTEST_SKIP() << "Ghostscript cannot be started";
    const RenderRow rows[] = {
        {"Off", std::nullopt, {}},
        {"OffWithColourGiven", std::nullopt, {"--watermark-color", "255,0,0"}},
        {"At0", kRedFlat, {}},
        {"At30", kGreenThirty, {}},
        {"At90", kBlueUpright, {}},
        {"AtMinus45", kDarkRedFalling, {}},
        {"At30OnA3FullPage", kGreenThirty, {"--paper", "a3", "--full-page"}},
    };
    for (const RenderRow& row : rows) {
        SCOPED_TRACE(row.name);
        klv::support::TempDir dir;
        const std::string job = (dir.Path() / "job.ps").string();
        std::vector<std::string> args = {"print", "-o", job, "--text", "Body text in black"};
        args.insert(args.end(), row.printArgs.begin(), row.printArgs.end());
        if (row.watermark) {
            const std::vector<std::string> w = WatermarkArgs(*row.watermark);
            args.insert(args.end(), w.begin(), w.end());
        }
        const ProcessResult print = Klvps(args);
        ASSERT_EQ(print.exitStatus, 0) << print.output;
        const klv::gs::Raster page = klv::gs::RenderPage(Slurp(job), 36);
        ASSERT_FALSE(page.Empty());

        const WatermarkSet colourOf = row.watermark.value_or(kRedFlat);
        const klv::gs::Rgb colour{static_cast<std::uint8_t>(Quantized(colourOf.red)),
                                  static_cast<std::uint8_t>(Quantized(colourOf.green)),
                                  static_cast<std::uint8_t>(Quantized(colourOf.blue))};
        std::vector<std::pair<int, int>> pixels;
        for (int y = 0; y < page.Height(); ++y) {
            for (int x = 0; x < page.Width(); ++x) {
                if (page.CountNear(colour, 24, x, y, 0) > 0)
                    pixels.emplace_back(x, y);
            }
        }
        const int centreRadius = page.Width() / 8;
        if (!row.watermark) {
            EXPECT_TRUE(pixels.empty()) << pixels.size() << " pixels of the colour";
            continue;
        }
        EXPECT_GT(page.CountNear(colour, 24, page.Width() / 2, page.Height() / 2, centreRadius), 20);
        ASSERT_GT(pixels.size(), 100u);
        const double expected = std::fmod(row.watermark->angle + 360.0, 180.0);
        double off = std::fabs(SpreadAngle(pixels) - expected);
        off = std::min(off, 180 - off);
        EXPECT_LT(off, 6.0) << "spread along " << SpreadAngle(pixels) << " degrees";
    }
}

// Golden jobs: `klvps print` output byte for byte. After an intended change
// of the output, regenerate them with scripts/regen-golden.
TEST(GoldenJobTest, PrintWritesTheGoldenBytes) {
    const fs::path golden = KLVPS_GOLDEN_DIR;
    std::ifstream list(golden / "jobs.tsv");
    ASSERT_TRUE(list) << "no " << (golden / "jobs.tsv");
    std::string line;
    int jobs = 0;
    while (std::getline(list, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        std::vector<std::string> fields;
        std::stringstream in(line);
        for (std::string field; std::getline(in, field, '\t');)
            fields.push_back(field);
        const std::string name = fields.front();
        SCOPED_TRACE(name);
        klv::support::TempDir dir;
        const std::string job = (dir.Path() / "job.ps").string();
        std::vector<std::string> args = {"print", "-o", job};
        args.insert(args.end(), fields.begin() + 1, fields.end());
        const ProcessResult print = Klvps(args);
        ASSERT_EQ(print.exitStatus, 0) << print.output;
        EXPECT_TRUE(Slurp(job) == Slurp(golden / (name + ".ps")))
            << job << " differs from " << (golden / (name + ".ps"))
            << "; run scripts/regen-golden after an intended change";
        ++jobs;
    }
    EXPECT_GE(jobs, 3);
}

// Every subcommand's errors: a message, a non-zero exit, no output left.
struct ErrorRow {
    const char* name;
    std::vector<std::string> args; // OUT, OUTPAT, JOB, BAD, LOOP, FOREIGN, BADTXT are replaced by files
    int exitStatus;
    const char* message;
};

TEST(CheckErrorTest, EachSubcommandFailsCleanly) {
    if (GhostscriptMissing())
        GTEST_SKIP() << "Ghostscript cannot be started";
    klv::support::TempDir dir;
    const std::map<std::string, std::string> files = {
        {"OUT", (dir.Path() / "out.ps").string()},          {"OUTPNG", (dir.Path() / "out.png").string()},
        {"OUTPAT", (dir.Path() / "page-%d.png").string()},  {"JOB", (dir.Path() / "job.ps").string()},
        {"BAD", (dir.Path() / "bad.ps").string()},          {"LOOP", (dir.Path() / "loop.ps").string()},
        {"FOREIGN", (dir.Path() / "foreign.bin").string()}, {"BADTXT", (dir.Path() / "bad.txt").string()},
        {"MISSING", (dir.Path() / "missing").string()}};
    ASSERT_EQ(Klvps({"print", "--pages", "2", "-o", files.at("JOB")}).exitStatus, 0);
    std::ofstream(files.at("BAD")) << "%!PS\nshowpage\nklvNoSuchOperator showpage\n";
    std::ofstream(files.at("LOOP")) << "%!PS\n{ } loop\n";
    std::ofstream(files.at("FOREIGN"), std::ios::binary) << std::string(1768, '\x5A');
    std::ofstream(files.at("BADTXT"), std::ios::binary) << "caf\xE9\n";

    const ErrorRow rows[] = {
        {"PrintMissingTextFile", {"print", "MISSING", "-o", "OUT"}, 2, "File does not exist"},
        {"PrintTextNotUtf8", {"print", "BADTXT", "-o", "OUT"}, 1, "not valid UTF-8"},
        {"PrintTextWithPages", {"print", "BADTXT", "--pages", "2", "-o", "OUT"}, 2, "excludes"},
        {"PrintSizeOutOfRange",
         {"print", "--watermark-size", "0", "-o", "OUT"},
         1,
         "--watermark-size: 0 is outside 1 to 2147483647 points"},
        {"PrintAngleNotANumber",
         {"print", "--watermark-angle", "steep", "-o", "OUT"},
         1,
         "--watermark-angle: 'steep' is not a number"},
        {"PrintUnknownVariable",
         {"print", "--watermark", "by {usr}", "-o", "OUT"},
         1,
         "the watermark names {usr}, which is not a variable"},
        {"PrintBadColour",
         {"print", "--watermark-color", "#12345", "-o", "OUT"},
         1,
         "--watermark-color: '#12345' is not a colour"},
        {"PrintLongPassword",
         {"print", "--job-password", "12345", "-o", "OUT"},
         1,
         "--job-password: 5 characters, at most 4"},
        {"PrintUnknownPaper", {"print", "--paper", "b5", "-o", "OUT"}, 2, "b5"},
        {"PrintForeignBlock", {"print", "--devmode", "FOREIGN", "-o", "OUT"}, 1, "not a klvps device mode"},
        {"DevModeShowForeignBlock",
         {"devmode", "show", "FOREIGN"},
         1,
         "its header gives the size 1515870810, not 1768"},
        {"DevModeSetForeignBlock", {"devmode", "set", "FOREIGN", "sFlip=1"}, 1, "not a klvps device mode"},
        {"CheckMissingJob", {"check", "MISSING"}, 2, "no such file"},
        {"CheckWithoutJob", {"check"}, 2, "job is required"},
        {"CheckBadTimeout", {"check", "--timeout", "0", "JOB"}, 2, "--timeout"},
        {"CheckPostScriptError",
         {"check", "BAD"},
         1,
         "PostScript error /undefined in klvNoSuchOperator on page 2"},
        {"CheckNeverEnds",
         {"check", "--timeout", "2", "LOOP"},
         1,
         "the job did not end; Ghostscript was stopped after 2 seconds"},
        {"PreviewMissingJob", {"preview", "MISSING", "-o", "OUTPNG"}, 1, "no such file"},
        {"PreviewBadPages", {"preview", "JOB", "-o", "OUTPAT", "--pages", "2-1"}, 1, "not a page list"},
        {"PreviewPagesWithoutPattern", {"preview", "JOB", "-o", "OUTPNG", "--pages", "1-2"}, 1, "needs %d"},
        {"PreviewPageMissing", {"preview", "JOB", "-o", "OUTPAT", "--pages", "1-3"}, 1, "no page 3"},
        {"PreviewPostScriptError", {"preview", "BAD", "-o", "OUTPAT"}, 1, "PostScript error /undefined"},
        {"PreviewNeverEnds",
         {"preview", "LOOP", "-o", "OUTPNG", "--timeout", "2"},
         1,
         "stopped after 2 seconds"},
    };
    for (const ErrorRow& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<std::string> args;
        for (const std::string& a : row.args)
            args.push_back(files.count(a) ? files.at(a) : a);
        const ProcessResult r = Klvps(args, 60);
        EXPECT_FALSE(r.timedOut);
        EXPECT_EQ(r.exitStatus, row.exitStatus) << r.output;
        EXPECT_NE(r.output.find(row.message), std::string::npos) << r.output;
        for (const char* out : {"out.ps", "out.png", "page-1.png", "page-2.png"})
            EXPECT_FALSE(fs::exists(dir.Path() / out)) << out;
    }
}

} // namespace
