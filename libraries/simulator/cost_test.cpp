// What a job costs the plug-in, counted rather than timed: its free-store
// blocks per job (the job record, the watermark text, the device's block;
// every one freed, none per page or per drawing call) and its writes per
// page, through the loaded library as the driver runs it.
//
// This program replaces the global allocation functions. A block counts as
// the plug-in's when the code that asked for it (or gave it back) lies in
// the plug-in's library, which is found by the address of its entry point.
#include "devmode/layout.h"
#include "libraries/simulator/simulator.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<const void*> gPluginBase{nullptr};
std::atomic<long> gPluginAllocations{0};
std::atomic<long> gPluginFrees{0};

bool FromPlugin(const void* caller) {
    const void* base = gPluginBase.load();
    Dl_info info;
    return base != nullptr && dladdr(caller, &info) != 0 && info.dli_fbase == base;
}

[[gnu::noinline]] void* Allocate(std::size_t size, const void* caller, bool nothrow) {
    if (FromPlugin(caller))
        gPluginAllocations.fetch_add(1);
    void* p = std::malloc(size == 0 ? 1 : size);
    if (p == nullptr && !nothrow)
        throw std::bad_alloc();
    return p;
}

// Kept out of line: once inlined into the replaced operator delete, g++
// takes the free() for a mismatch with the operator new it pairs with.
[[gnu::noinline]] void Release(void* p, const void* caller) noexcept {
    if (p != nullptr && FromPlugin(caller))
        gPluginFrees.fetch_add(1);
    std::free(p);
}

} // namespace

#define KLV_CALLER __builtin_return_address(0)
void* operator new(std::size_t size) {
    return Allocate(size, KLV_CALLER, false);
}
void* operator new[](std::size_t size) {
    return Allocate(size, KLV_CALLER, false);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return Allocate(size, KLV_CALLER, true);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return Allocate(size, KLV_CALLER, true);
}
void operator delete(void* p) noexcept {
    Release(p, KLV_CALLER);
}
void operator delete[](void* p) noexcept {
    Release(p, KLV_CALLER);
}
void operator delete(void* p, std::size_t) noexcept {
    Release(p, KLV_CALLER);
}
void operator delete[](void* p, std::size_t) noexcept {
    Release(p, KLV_CALLER);
}

namespace klv::sim {
namespace {

class CostTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(sim.Open(KLVPS_PLUGIN_PATH, &error)) << error;
        void* library = dlopen(KLVPS_PLUGIN_PATH, RTLD_NOW | RTLD_NOLOAD);
        ASSERT_NE(library, nullptr);
        Dl_info info;
        ASSERT_NE(dladdr(dlsym(library, "DllGetClassObject"), &info), 0);
        gPluginBase.store(info.dli_fbase);
        dlclose(library);
    }
    void TearDown() override { gPluginBase.store(nullptr); }

    std::vector<std::uint8_t> Settings(bool watermark) {
        std::vector<std::uint8_t> block = sim.DefaultDevMode(nullptr);
        dm::PutS16(block.data(), dm::kSWatermarkOn, watermark ? 1 : 0);
        return block;
    }

    Simulator sim;
};

struct JobCost {
    long allocations = 0;
    long frees = 0;
    int pageSetupWrites = 0;
    int hookCalls = 0;
};

JobCost Measure(Simulator& sim, int pages, const std::vector<std::uint8_t>& settings, bool knownJobId) {
    Job job = SampleJob(pages, {"a line", "another line"});
    job.devmode = settings;
    if (!knownJobId)
        job.jobId = 0;
    job.otherJobs = {{7, u"someone", u"queued.txt"}};
    const long allocationsBefore = gPluginAllocations.load();
    const long freesBefore = gPluginFrees.load();
    const JobResult r = sim.Run(job);
    EXPECT_TRUE(r.ok) << r.error;
    JobCost cost;
    cost.allocations = gPluginAllocations.load() - allocationsBefore;
    cost.frees = gPluginFrees.load() - freesBefore;
    cost.pageSetupWrites =
        r.writeCalls.count(PSINJECT_BEGINPAGESETUP) ? r.writeCalls.at(PSINJECT_BEGINPAGESETUP) : 0;
    for (const auto& [index, calls] : r.hookCalls)
        cost.hookCalls += calls;
    return cost;
}

// The blocks a job needs, however many pages it has.
TEST_F(CostTest, BlocksPerJobDoNotGrowWithPages) {
    struct Case {
        const char* what;
        bool watermark;
        bool knownJobId;
        long blocks; // job record, watermark text, device block
    };
    const Case cases[] = {
        {"watermark on", true, true, 3},
        {"watermark off", false, true, 2},
        // Without the job id the job is listed from the queue instead: the
        // job record is still one block.
        {"job id unknown", true, false, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (int pages : {1, 10, 100}) {
            SCOPED_TRACE(pages);
            const JobCost cost = Measure(sim, pages, Settings(c.watermark), c.knownJobId);
            EXPECT_EQ(cost.allocations, c.blocks);
            EXPECT_EQ(cost.frees, c.blocks);
        }
    }
}

// Per page: one write (the watermark invocation) and nothing allocated,
// however many drawing calls pass through the hooks.
TEST_F(CostTest, EachPageCostsOneWriteAndNoBlock) {
    const auto settings = Settings(true);
    const JobCost one = Measure(sim, 1, settings, true);
    const JobCost many = Measure(sim, 200, settings, true);
    EXPECT_EQ(one.pageSetupWrites, 1);
    EXPECT_EQ(many.pageSetupWrites, 200);
    EXPECT_GT(many.hookCalls - one.hookCalls, 199 * 4);
    EXPECT_EQ(many.allocations, one.allocations);
}

} // namespace
} // namespace klv::sim
