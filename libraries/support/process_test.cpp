#include "libraries/support/files.h"
#include "libraries/support/process.h"
#include "libraries/support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace klv::support {
namespace {

TEST(RunProcess, MissingProgramAndTimeLimit) {
    EXPECT_FALSE(RunProcess({"/nonexistent/klvps-no-such-program"}, 10).started);
    const ProcessResult r = RunProcess({"sleep", "5"}, 0.2);
    EXPECT_TRUE(r.timedOut);
    EXPECT_EQ(r.exitStatus, -1);
}

TEST(RunProcess, CapturesOutputAndExitStatus) {
    const ProcessResult r = RunProcess({"sh", "-c", "echo out; echo err >&2; exit 3"}, 10);
    EXPECT_TRUE(r.started);
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.exitStatus, 3);
    EXPECT_EQ(r.output, "out\nerr\n");
}

TEST(TempDir, RemovedWithItsContent) {
    std::filesystem::path kept;
    {
        const TempDir dir;
        kept = dir.Path();
        ASSERT_TRUE(WriteWholeFile(kept / "a", "bytes"));
        EXPECT_EQ(ReadWholeFile(kept / "a"), "bytes");
    }
    EXPECT_FALSE(std::filesystem::exists(kept));
}

} // namespace
} // namespace klv::support
