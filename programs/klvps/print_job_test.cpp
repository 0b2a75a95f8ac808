// An existing job served through the plug-in gets exactly the bytes the
// driver writes into its own jobs: the simulator's job with the plug-in's
// text taken out, printed again, is the simulator's job byte for byte.
#include "libraries/support/files.h"
#include "libraries/support/temp_dir.h"
#include "libraries/settings/devmode_fields.h"
#include "programs/klvps/print_job.h"

#include "libraries/ghostscript/ghostscript.h"
#include "libraries/support/process.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace klv::cli {
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

TEST(PrintExistingJob, WritesTheBytesTheDriverWritesIntoItsOwnJob) {
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

        ExistingJob existing;
        existing.input = (dir.Path() / "bare.ps").string();
        existing.output = (dir.Path() / "served.ps").string();
        existing.setup = job;
        std::ofstream(existing.input, std::ios::binary) << bare;
        const ExistingJobResult served = PrintExistingJob(simulator, existing);
        ASSERT_TRUE(served.ok) << served.error;
        EXPECT_TRUE(served.warnings.empty());
        EXPECT_EQ(served.pages, c.pages);
        EXPECT_EQ(Slurp(existing.output), own.postscript);
    }
    EXPECT_EQ(simulator.Close(), S_OK);
}

TEST(PrintExistingJob, LeavesNoOutputWhenTheJobIsRefused) {
    sim::Simulator simulator;
    std::string error;
    ASSERT_TRUE(simulator.Open(KLVPS_PLUGIN_PATH, &error)) << error;
    klv::support::TempDir dir;
    ExistingJob existing;
    existing.input = (dir.Path() / "cut.ps").string();
    existing.output = (dir.Path() / "out.ps").string();
    std::ofstream(existing.input, std::ios::binary) << "%!PS-Adobe-3.0\n%%Page: 1 1\n%%BeginBinary: 99\nab\n";
    const ExistingJobResult served = PrintExistingJob(simulator, existing);
    EXPECT_FALSE(served.ok);
    EXPECT_NE(served.error.find("longer than the file"), std::string::npos) << served.error;
    EXPECT_FALSE(fs::exists(existing.output));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), {}), 1) << "a temporary file was left behind";
}

} // namespace
} // namespace klv::cli
