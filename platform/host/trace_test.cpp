#include "platform/trace.h"

#include "platform/win32.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace klv::trace {
namespace {

void Collect(void* context, const char* line) {
    static_cast<std::vector<std::string>*>(context)->push_back(line);
}

// Sets KLVPS_TRACE for one test and restores its absence after it.
class TraceSwitch {
public:
    explicit TraceSwitch(const char* value) {
        if (value != nullptr)
            setenv("KLVPS_TRACE", value, 1);
        else
            unsetenv("KLVPS_TRACE");
        ReadSwitchAgain();
    }
    ~TraceSwitch() {
        unsetenv("KLVPS_TRACE");
        ReadSwitchAgain();
    }
};

int gEvaluated = 0;
int Counted() {
    return ++gEvaluated;
}

TEST(Trace, OffUnlessSwitchedOnWithOne) {
    for (const char* value : {static_cast<const char*>(nullptr), "0", "", "yes", "11"}) {
        TraceSwitch off(value);
        EXPECT_FALSE(On()) << (value != nullptr ? value : "unset");
        testing::internal::CaptureStderr();
        KLV_TRACE("never %d", Counted());
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    }
    EXPECT_EQ(gEvaluated, 0) << "arguments evaluated while off";
}

TEST(Trace, SwitchedOnWritesToStandardError) {
    TraceSwitch on("1");
    EXPECT_TRUE(On());
    SetLastError(1234);
    testing::internal::CaptureStderr();
    KLV_TRACE("job %lu not found", 7ul);
    KLV_TRACE("%s", std::string(300, 'x').c_str());
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "klvps: job 7 not found\nklvps: " + std::string(255, 'x') + "\n");
    EXPECT_EQ(GetLastError(), 1234u);
}

// A sink takes the lines of its own thread only, with or without the
// switch, and standard error gets none of them.
TEST(Trace, ThreadSinkTakesItsThreadsLines) {
    for (const char* value : {"0", "1"}) {
        TraceSwitch trace(value);
        std::vector<std::string> lines;
        SetThreadSink(Collect, &lines);
        EXPECT_TRUE(On());
        testing::internal::CaptureStderr();
        KLV_TRACE("mine %d", 1);
        std::thread([] { KLV_TRACE("other thread"); }).join();
        const std::string stderrText = testing::internal::GetCapturedStderr();
        SetThreadSink(nullptr, nullptr);
        KLV_TRACE("after");
        EXPECT_EQ(lines, std::vector<std::string>{"klvps: mine 1"});
        EXPECT_EQ(stderrText, *value == '1' ? "klvps: other thread\n" : "");
        EXPECT_EQ(On(), *value == '1');
    }
}

} // namespace
} // namespace klv::trace
