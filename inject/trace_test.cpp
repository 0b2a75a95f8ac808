// What the injection code traces where it falls back, and that tracing
// changes no byte of the job.
#include "devmode/layout.h"
#include "hooks/device_state.h"
#include "platform/trace.h"
#include "testing/test_device.h"
#include "watermark/watermark.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

using klv::testing::Concat;
using klv::testing::TestDevice;
namespace dm = klv::dm;

// Collects the lines traced on this thread while it lives.
class CollectedTrace {
public:
    CollectedTrace() { klv::trace::SetThreadSink(Collect, &lines); }
    ~CollectedTrace() { klv::trace::SetThreadSink(nullptr, nullptr); }
    std::vector<std::string> lines;

private:
    static void Collect(void* context, const char* line) {
        static_cast<std::vector<std::string>*>(context)->push_back(line);
    }
};

struct FallbackCase {
    const char* name;
    DWORD jobId;         // the id StartDoc gave the device; 0: none
    bool queued;         // the device's job is in the queue
    bool failListing;    // EnumJobsW fails
    HRESULT writeResult; // what DrvWriteSPBuf reports
    std::vector<std::string> lines;
};

TEST(Trace, EachFallbackOfTheAccountingBlockLeavesALine) {
    const FallbackCase cases[] = {
        {"found by id", 7, true, false, S_OK, {}},
        {"no id", 0, true, false, S_OK, {"klvps: no job id from StartDoc; billing the last listed job"}},
        {"not found by id",
         8,
         true,
         false,
         S_OK,
         {"klvps: job 8 not found by its id; billing the last listed job"}},
        {"nothing listed",
         0,
         false,
         true,
         S_OK,
         {"klvps: no job id from StartDoc; billing the last listed job",
          "klvps: no job listed; the accounting block keeps the last document name"}},
        {"refused write",
         7,
         true,
         false,
         E_FAIL,
         {"klvps: DrvWriteSPBuf took 0 of 343 bytes (result 0x80004005)"}},
    };
    for (const FallbackCase& c : cases) {
        SCOPED_TRACE(c.name);
        TestDevice device;
        if (c.queued)
            device.queue.Add({7, u"ann", u"doc"});
        device.queue.FailEnumJobs(c.failListing);
        device.driver.writeResult = c.writeResult;
        klv::DeviceStateOf(&device.devobj)->jobId = c.jobId;
        CollectedTrace trace;
        device.Inject(PSINJECT_COMMENTS);
        EXPECT_EQ(trace.lines, c.lines);
    }
}

TEST(Trace, AResourceThatCannotBeLoadedLeavesALine) {
    CollectedTrace trace;
    DWORD size = 0;
    EXPECT_EQ(klv::LoadPsResource(klv::ThisModule(), 3, &size), nullptr);
    EXPECT_NE(klv::LoadPsResource(klv::ThisModule(), 1, &size), nullptr);
    EXPECT_EQ(trace.lines, std::vector<std::string>{"klvps: PostScript resource 3 cannot be loaded"});
}

// A whole job's injections, with tracing off, collected, and on standard
// error: the same bytes in the same writes.
TEST(Trace, ChangesNoByteOfTheJob) {
    auto job = [] {
        TestDevice device; // nothing queued: every lookup falls back
        device.SetShort(dm::kSWatermarkOn, 1);
        device.SetShort(dm::kSFullPage, 1);
        device.SetShort(dm::kSFlip, 1);
        std::vector<std::string> writes;
        for (DWORD index : {PSINJECT_COMMENTS, PSINJECT_BEGINPROLOG, PSINJECT_ENDPROLOG, PSINJECT_BEGINSETUP,
                            PSINJECT_BEGINPAGESETUP})
            for (const std::string& w : device.Inject(index))
                writes.push_back(w);
        return writes;
    };
    const std::vector<std::string> quiet = job();
    std::vector<std::string> collected;
    {
        CollectedTrace trace;
        collected = job();
        EXPECT_FALSE(trace.lines.empty());
    }
    setenv("KLVPS_TRACE", "1", 1);
    klv::trace::ReadSwitchAgain();
    ::testing::internal::CaptureStderr();
    const std::vector<std::string> onStandardError = job();
    const std::string lines = ::testing::internal::GetCapturedStderr();
    unsetenv("KLVPS_TRACE");
    klv::trace::ReadSwitchAgain();
    EXPECT_NE(lines.find("klvps: "), std::string::npos);
    EXPECT_EQ(collected, quiet);
    EXPECT_EQ(onStandardError, quiet);
}

} // namespace
