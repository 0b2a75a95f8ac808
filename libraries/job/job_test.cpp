// An existing job served through the plug-in gets exactly the bytes the
// driver writes into its own jobs: the simulator's job with the plug-in's
// text taken out, printed again, is the simulator's job byte for byte.
#include "libraries/job/job.h"

#include "libraries/job/outputs.h"
#include "libraries/settings/devmode_fields.h"
#include "libraries/support/files.h"
#include "libraries/support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace klv::job {
namespace {

namespace fs = std::filesystem;

std::string Slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// The job without what the plug-in wrote into it, call by call.
std::string WithoutPluginText(const sim::JobResult& result) {
    std::string job = result.postscript;
    std::size_t from = 0;
    for (DWORD point : result.commandOrder) {
        const std::string& all = result.written.count(point) ? result.written.at(point) : std::string();
        const std::size_t perCall = all.size() / static_cast<std::size_t>(result.commandCalls.at(point));
        const std::string text = all.substr(0, perCall);
        if (text.empty())
            continue;
        const std::size_t at = job.find(text, from);
        if (at == std::string::npos)
            return {};
        job.erase(at, text.size());
        from = at;
    }
    return job;
}

struct SameBytesCase {
    const char* name;
    std::vector<std::string> sets; // device-mode assignments over the defaults
    int pages;
};

TEST(RunJob, WritesTheBytesTheDriverWritesIntoItsOwnJob) {
    const SameBytesCase cases[] = {
        {"defaults", {}, 1},
        {"every text on",
         {"sWatermarkOn=1", "sFlip=1", "sFullPage=1", "szJobName=Quarter", "szJobPassword=1234"},
         3},
    };
    sim::Simulator simulator;
    std::string error;
    ASSERT_TRUE(simulator.Open(KLVPS_PLUGIN_PATH, &error)) << error;
    klv::support::TempDir dir;
    for (const SameBytesCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::uint8_t> block = simulator.DefaultDevMode(&error);
        for (const std::string& set : c.sets)
            ASSERT_TRUE(settings::ApplyAssignment(block, set, &error)) << error;
        sim::Job job = sim::SampleJob(c.pages, {"A line (with parentheses)"});
        job.user = "alice";
        job.document = "C:\\Reports\\Q3 (final).txt";
        job.jobId = 42;
        job.devmode = block;
        const sim::JobResult own = simulator.Run(job);
        ASSERT_TRUE(own.ok) << own.error;
        const std::string bare = WithoutPluginText(own);
        ASSERT_FALSE(bare.empty());
        ASSERT_LT(bare.size(), own.postscript.size());

        const std::string input = (dir.Path() / "bare.ps").string();
        const std::string output = (dir.Path() / "served.ps").string();
        std::ofstream(input, std::ios::binary) << bare;
        FileOutput file(output);
        ASSERT_TRUE(file.Open(&error)) << error;
        JobData data;
        data.inputPath = input;
        data.output = &file;
        data.user = job.user;
        data.title = job.document;
        data.jobId = job.jobId;
        data.devmode = block;
        const JobOutcome served = RunJob(simulator, data);
        ASSERT_TRUE(served.ok()) << served.message;
        EXPECT_TRUE(served.warnings.empty());
        EXPECT_EQ(served.pages, c.pages);
        EXPECT_EQ(Slurp(output), own.postscript);
    }
    EXPECT_EQ(simulator.Close(), S_OK);
}

struct RefusedCase {
    const char* name;
    std::string content;
    const char* fileName;
    Failure failure;
    const char* words; // in the message
};

// A refused job leaves no output, and says why as a value, not only in words.
TEST(RunJob, RefusesBadInputWithItsReasonAndLeavesNoOutput) {
    const RefusedCase cases[] = {
        {"section longer than the file", "%!PS-Adobe-3.0\n%%Page: 1 1\n%%BeginBinary: 99\nab\n", "cut.ps",
         Failure::kTruncatedSection, "longer than the file"},
        {"no DSC header", "%!\nshowpage\n", "bare.ps", Failure::kNotPostScript, "no DSC header"},
        {"empty", "", "empty.ps", Failure::kEmptyInput, "the job is empty"},
        {"named PDF, is not", "just words", "fake.pdf", Failure::kNotPdf, "the name says PDF"},
        {"text that is not UTF-8", "caf\xE9", "latin1.txt", Failure::kBadText, "not valid UTF-8"},
    };
    sim::Simulator simulator;
    std::string error;
    ASSERT_TRUE(simulator.Open(KLVPS_PLUGIN_PATH, &error)) << error;
    for (const RefusedCase& c : cases) {
        SCOPED_TRACE(c.name);
        klv::support::TempDir dir;
        const std::string input = (dir.Path() / c.fileName).string();
        std::ofstream(input, std::ios::binary) << c.content;
        FileOutput file((dir.Path() / "out.ps").string());
        ASSERT_TRUE(file.Open(&error)) << error;
        JobData data;
        data.inputPath = input;
        data.output = &file;
        data.pdfConverter = [](const std::string&, const std::string&, std::string*, const MessageSink&) {
            return Failure::kNone;
        };
        const JobOutcome served = RunJob(simulator, data);
        EXPECT_EQ(served.failure, c.failure) << served.message;
        EXPECT_NE(served.message.find(c.words), std::string::npos) << served.message;
        EXPECT_FALSE(fs::exists(dir.Path() / "out.ps"));
    }
    EXPECT_EQ(simulator.Close(), S_OK);
}

struct KindCase {
    std::string head;
    const char* name;
    InputKind kind;
};

TEST(KindOfInput, OneRuleForPdfPostScriptAndText) {
    const KindCase cases[] = {
        {"%PDF-1.7\n", "report", InputKind::kPdf},
        {"junk before %PDF-1.4", "report.ps", InputKind::kPdf}, // the header wins over the name
        {"%!PS-Adobe-3.0\n", "report.pdf", InputKind::kPostScript},
        {"\x1b%-12345X@PJL\n", "job", InputKind::kPostScript},
        {"\x04%!PS\n", "job", InputKind::kPostScript},
        {"Dear reader", "letter.PDF", InputKind::kPdf}, // refused later: no header
        {"Dear reader", "letter.EPS", InputKind::kPostScript},
        {"Dear reader", "letter.txt", InputKind::kText},
        {"", "empty", InputKind::kText},
    };
    for (const KindCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(KindOfInput(c.head, c.name), c.kind);
    }
}

TEST(RunJob, ExpandsTheWatermarksVariablesForTheJob) {
    sim::Simulator simulator;
    std::string error;
    ASSERT_TRUE(simulator.Open(KLVPS_PLUGIN_PATH, &error)) << error;
    JobData data;
    data.user = "alice";
    data.title = "Q3";
    data.jobId = 7;
    data.settings = {{settings::Id::kWatermark, settings::WatermarkValue{true, u"{user}:{job-id}:{title}"}}};
    JobOutcome outcome;
    const std::optional<std::vector<std::uint8_t>> block = BlockFor(simulator, data, &outcome);
    ASSERT_TRUE(block) << outcome.message;
    EXPECT_EQ(settings::ReadText(*block, *settings::FindField("szWatermarkText")), "alice:7:Q3");

    // Expanded past its field, the text is cut there.
    data.user = std::string(200, 'u');
    const std::optional<std::vector<std::uint8_t>> cut = BlockFor(simulator, data, &outcome);
    ASSERT_TRUE(cut) << outcome.message;
    EXPECT_EQ(settings::ReadText(*cut, *settings::FindField("szWatermarkText")), std::string(127, 'u'));

    data.settings = {{settings::Id::kWatermark, settings::WatermarkValue{true, u"by {usr}"}}};
    EXPECT_FALSE(BlockFor(simulator, data, &outcome));
    EXPECT_EQ(outcome.failure, Failure::kUnknownVariable);
    EXPECT_NE(outcome.message.find("{usr}"), std::string::npos) << outcome.message;
    EXPECT_EQ(simulator.Close(), S_OK);
}

} // namespace
} // namespace klv::job
