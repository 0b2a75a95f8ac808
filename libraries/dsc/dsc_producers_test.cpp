// Jobs from producers no one here wrote, made at test time with Debian's
// tools: the pass must put every point in its place, keep every byte of the
// job, and leave a job that Ghostscript runs with the same pages.
#include "libraries/dsc/dsc_pass.h"
#include "libraries/dsc/dsc_test_support.h"
#include "libraries/ghostscript/ghostscript.h"
#include "libraries/support/files.h"
#include "libraries/support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

namespace klv::dsc {
namespace {

namespace fs = std::filesystem;
using klv::support::ProcessResult;
using klv::support::RunProcess;
using klv::support::TempDir;
using test::Count;
using test::MarkerText;

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

bool HasProgram(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::istringstream dirs(path != nullptr ? path : "");
    for (std::string dir; std::getline(dirs, dir, ':');) {
        std::error_code ec;
        if (!dir.empty() && fs::exists(fs::path(dir) / name, ec))
            return true;
    }
    return false;
}

// PDFs that Debian ships, at most one per folder and three in all, so that
// the jobs come from different authoring tools.
std::vector<fs::path> ShippedPdfs() {
    std::vector<fs::path> found;
    std::error_code ec;
    for (fs::recursive_directory_iterator it("/usr/share", fs::directory_options::skip_permission_denied, ec),
         end;
         it != end; it.increment(ec)) {
        if (ec)
            break;
        const fs::path& p = it->path();
        if (p.extension() == ".pdf" && it->is_regular_file(ec) && it->file_size(ec) >= 10'000 &&
            it->file_size(ec) <= 1'000'000)
            found.push_back(p);
    }
    std::sort(found.begin(), found.end());
    std::vector<fs::path> chosen;
    std::set<fs::path> folders;
    for (const fs::path& p : found) {
        if (chosen.size() < 3 && folders.insert(p.parent_path()).second)
            chosen.push_back(p);
    }
    return chosen;
}

const char kManPage[] = ".TH SAMPLE 1\n.SH NAME\nsample \\- a page of text\n.SH DESCRIPTION\n"
                        "Some words in \\fBbold\\fR and \\fIitalic\\fR.\n.bp\nA second page.\n";
const char kText[] = "The first page of plain text.\n(parentheses) and \\backslashes\\\n\fThe second page.\n";

struct Producer {
    const char* name;
    const char* program;
    bool fromPdf;
    // The command that writes `out` from `in`.
    std::vector<std::string> (*command)(const std::string& in, const std::string& out);
};

const Producer kProducers[] = {
    {"groff", "groff", false,
     [](const std::string& in, const std::string& out) {
         return std::vector<std::string>{"sh", "-c", "groff -Tps -man \"$0\" > \"$1\"", in, out};
     }},
    {"enscript", "enscript", false,
     [](const std::string& in, const std::string& out) {
         return std::vector<std::string>{"enscript", "-q", "-p", out, in};
     }},
    {"a2ps", "a2ps", false,
     [](const std::string& in, const std::string& out) {
         return std::vector<std::string>{"a2ps", "-q", "-o", out, in};
     }},
    {"ps2write", "gs", true,
     [](const std::string& in, const std::string& out) {
         return std::vector<std::string>{
             "gs", "-q", "-dNOPAUSE", "-dBATCH", "-dSAFER", "-sDEVICE=ps2write", "-sOutputFile=" + out, in};
     }},
    {"pdftocairo", "pdftocairo", true,
     [](const std::string& in, const std::string& out) {
         return std::vector<std::string>{"pdftocairo", "-ps", in, out};
     }},
    {"pdftops", "pdftops", true,
     [](const std::string& in, const std::string& out) {
         return std::vector<std::string>{"pdftops", in, out};
     }},
};

// The line before offset `at` (without its ending), and the line from it.
std::string_view LineBefore(std::string_view text, std::size_t at, std::string_view eol) {
    std::string_view before = text.substr(0, at);
    if (!before.ends_with(eol))
        return {};
    before.remove_suffix(eol.size());
    const std::size_t start = before.find_last_of("\r\n");
    return before.substr(start == std::string_view::npos ? 0 : start + 1);
}

// Every marker stands where its point belongs.
void ExpectPlacement(const std::string& output, const std::string& eol) {
    struct Rule {
        InjectionPoint point;
        const char* lineBefore; // the line just before the marker, or empty
        const char* textAfter;  // what follows the marker, or empty
    };
    const Rule rules[] = {
        {kComments, "", "%%EndComments"},          {kBeginProlog, "%%BeginProlog", ""},
        {kEndProlog, "", "%%EndProlog"},           {kBeginSetup, "%%BeginSetup", ""},
        {kBeginPageSetup, "%%BeginPageSetup", ""},
    };
    for (const Rule& rule : rules) {
        const std::string marker = MarkerText(rule.point);
        for (std::size_t at = output.find(marker); at != std::string::npos;
             at = output.find(marker, at + 1)) {
            SCOPED_TRACE("point " + std::to_string(rule.point) + " at byte " + std::to_string(at));
            if (*rule.lineBefore != '\0') {
                EXPECT_EQ(LineBefore(output, at, eol), rule.lineBefore);
            }
            if (*rule.textAfter != '\0') {
                EXPECT_EQ(output.compare(at + marker.size(), std::strlen(rule.textAfter), rule.textAfter), 0);
            }
        }
    }
}

struct GsPages {
    bool ok = false;
    int pages = 0;
    std::string printed; // what the job printed
    std::string output;  // Ghostscript's own messages
};

// Runs a job in Ghostscript's bounding-box device, which reports each page;
// what the job prints goes to a file of its own, so that it cannot mix with
// those reports.
GsPages RunPages(const std::string& job) {
    TempDir dir;
    const fs::path printed = dir.Path() / "printed.txt";
    const klv::gs::GsRun run =
        klv::gs::RunGhostscript(job, {"-sDEVICE=bbox", "-sstdout=" + printed.string()});
    return {run.ok, Count(run.output, "%%BoundingBox:"), ReadAll(printed), run.output};
}

void CheckJob(const std::string& job) {
    const test::Recorded r = test::RunMarked(job);
    ASSERT_TRUE(r.result.ok) << r.result.error;
    EXPECT_EQ(r.job, job) << "the job's bytes changed";
    EXPECT_FALSE(r.result.truncated);
    ASSERT_GT(r.result.pages, 0);
    for (InjectionPoint point : {kComments, kBeginProlog, kEndProlog, kBeginSetup})
        EXPECT_EQ(Count(r.output, MarkerText(point)), 1) << point;
    EXPECT_EQ(Count(r.output, MarkerText(kBeginPageSetup)), r.result.pages);
    ExpectPlacement(r.output, r.result.lineEnding);

    const GsPages before = RunPages(job);
    const GsPages after = RunPages(r.output);
    ASSERT_TRUE(before.ok) << before.output;
    ASSERT_TRUE(after.ok) << after.output;
    EXPECT_EQ(after.pages, before.pages);
    EXPECT_EQ(after.pages, r.result.pages);
    // Each inserted text ran once where it stands.
    for (InjectionPoint point : {kComments, kBeginProlog, kEndProlog, kBeginSetup})
        EXPECT_EQ(Count(after.printed, "klvpoint-" + std::to_string(point) + "\n"), 1) << point;
    EXPECT_EQ(Count(after.printed, "klvpoint-101\n"), r.result.pages);
}

class ProducerJobs : public ::testing::TestWithParam<Producer> {};

TEST_P(ProducerJobs, AreServedAtEveryPointAndKeptByteForByte) {
    const Producer& producer = GetParam();
    if (!HasProgram(producer.program))
        GTEST_SKIP() << producer.program << " is not installed";
    if (!klv::gs::GhostscriptAvailable())
        GTEST_SKIP() << "Ghostscript cannot be started";
    TempDir dir;
    std::vector<fs::path> inputs;
    if (producer.fromPdf) {
        inputs = ShippedPdfs();
        if (inputs.empty())
            GTEST_SKIP() << "no PDF of 10 kB to 1 MB under /usr/share";
    } else {
        const fs::path in = dir.Path() / "input.txt";
        std::ofstream(in, std::ios::binary) << (std::string(producer.name) == "groff" ? kManPage : kText);
        inputs.push_back(in);
    }
    for (const fs::path& in : inputs) {
        SCOPED_TRACE(in.string());
        const fs::path out = dir.Path() / (in.stem().string() + ".ps");
        const ProcessResult made = RunProcess(producer.command(in.string(), out.string()));
        ASSERT_EQ(made.exitStatus, 0) << made.output;
        CheckJob(ReadAll(out));
    }
}

INSTANTIATE_TEST_SUITE_P(Debian, ProducerJobs, ::testing::ValuesIn(kProducers),
                         [](const ::testing::TestParamInfo<Producer>& info) {
                             return std::string(info.param.name);
                         });

} // namespace
} // namespace klv::dsc
