// Many jobs on several devices at once, through the loaded library, while
// other threads create and release plug-in objects, lock the server and ask
// whether the module may be unloaded. Built in every host preset; under
// ThreadSanitizer (preset host-tsan) any data race fails the run.
#include "platform/loader.h"
#include "libraries/simulator/simulator.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

namespace klv::sim {
namespace {

constexpr int kDevices = 4;
constexpr int kJobsPerDevice = 20;
constexpr int kChurners = 2;

// The job ticket's job name: the document's 16-bit units in hexadecimal.
std::string HexUnits(const std::string& ascii) {
    std::string hex;
    for (unsigned char c : ascii) {
        char unit[8];
        std::snprintf(unit, sizeof unit, c < 16 ? "0%x" : "%x", c);
        hex += unit;
    }
    return hex;
}

struct JobCheck {
    std::string device;
    std::string fault; // empty when the job carried its own names
};

// One device: a driver instance that prints its jobs one after another,
// each with its own user, document and spooler id.
std::vector<JobCheck> PrintJobs(int device) {
    std::vector<JobCheck> checks;
    Simulator sim;
    std::string error;
    if (!sim.Open(KLVPS_PLUGIN_PATH, &error))
        return {{std::to_string(device), "open: " + error}};
    for (int n = 0; n < kJobsPerDevice; ++n) {
        Job job = SampleJob(1 + n % 3, {"device " + std::to_string(device)});
        job.user = "user" + std::to_string(device) + "x" + std::to_string(n);
        job.document = "doc" + std::to_string(device) + "-" + std::to_string(n) + ".txt";
        job.jobId = static_cast<DWORD>(100 * (device + 1) + n);
        // Other jobs in the same queue, so that the wrong one could be billed.
        job.otherJobs = {{job.jobId + 50, u"someone", u"other.txt"}};
        const JobResult r = sim.Run(job);
        JobCheck check{std::to_string(device) + "/" + std::to_string(n), {}};
        const std::string accounting =
            r.written.count(PSINJECT_COMMENTS) ? r.written.at(PSINJECT_COMMENTS) : "";
        const std::string ticket =
            r.written.count(PSINJECT_BEGINSETUP) ? r.written.at(PSINJECT_BEGINSETUP) : "";
        if (!r.ok)
            check.fault = r.error;
        else if (!r.faults.empty())
            check.fault = r.faults.front();
        else if (accounting.find("(" + job.user + ") ") == std::string::npos ||
                 accounting.find("(" + job.document + ") ") == std::string::npos)
            check.fault = "accounting block of another job: " + accounting;
        else if (ticket.find("/kelvo$jobname <" + HexUnits(job.document) + ">") == std::string::npos)
            check.fault = "job ticket of another job: " + ticket;
        checks.push_back(check);
    }
    sim.Close();
    return checks;
}

// Creates and releases plug-in objects and server locks until told to stop;
// returns how many rounds it made.
int Churn(const std::atomic<bool>& stop, std::string* fault) {
    platform::LoadedPlugin library(KLVPS_PLUGIN_PATH);
    if (!library.Ok()) {
        *fault = library.Error();
        return 0;
    }
    int rounds = 0;
    while (!stop.load() || rounds == 0) {
        IClassFactory* factory = nullptr;
        if (FAILED(library.getClassObject(kClsidOemRender, kIidClassFactory,
                                          reinterpret_cast<void**>(&factory)))) {
            *fault = "DllGetClassObject failed";
            return rounds;
        }
        factory->LockServer(TRUE);
        IUnknown* object = nullptr;
        if (FAILED(factory->CreateInstance(nullptr, kIidPrintOemPS, reinterpret_cast<void**>(&object)))) {
            *fault = "CreateInstance failed";
        } else {
            if (library.canUnloadNow() != S_FALSE)
                *fault = "DllCanUnloadNow allowed unloading with a live object and a lock";
            object->Release();
        }
        factory->LockServer(FALSE);
        factory->Release();
        library.canUnloadNow();
        ++rounds;
    }
    return rounds;
}

TEST(Races, JobsOnSeveralDevicesWhileObjectsComeAndGo) {
    std::atomic<bool> stop{false};
    std::vector<std::string> churnFaults(kChurners);
    std::vector<int> churnRounds(kChurners);
    std::vector<std::thread> churners;
    for (int i = 0; i < kChurners; ++i)
        churners.emplace_back([&, i] { churnRounds[i] = Churn(stop, &churnFaults[i]); });

    std::vector<std::vector<JobCheck>> results(kDevices);
    std::vector<std::thread> devices;
    for (int d = 0; d < kDevices; ++d)
        devices.emplace_back([&, d] { results[d] = PrintJobs(d); });
    for (std::thread& t : devices)
        t.join();
    stop.store(true);
    for (std::thread& t : churners)
        t.join();

    int jobs = 0;
    for (const auto& device : results) {
        for (const JobCheck& check : device) {
            EXPECT_EQ(check.fault, "") << "job " << check.device;
            ++jobs;
        }
    }
    EXPECT_EQ(jobs, kDevices * kJobsPerDevice);
    for (int i = 0; i < kChurners; ++i) {
        EXPECT_EQ(churnFaults[i], "");
        EXPECT_GT(churnRounds[i], 0);
    }
    // Every object and lock is gone: the counters are back to zero.
    platform::LoadedPlugin library(KLVPS_PLUGIN_PATH);
    ASSERT_TRUE(library.Ok()) << library.Error();
    EXPECT_EQ(library.canUnloadNow(), S_OK);
}

// One plug-in object and one class object shared by many threads, each
// taking and dropping references; the last Release destroys them while the
// others may still be returning from theirs, so no Release may read its
// object after its own decrement.
TEST(Races, SharedObjectsReleasedFromManyThreads) {
    platform::LoadedPlugin library(KLVPS_PLUGIN_PATH);
    ASSERT_TRUE(library.Ok()) << library.Error();
    for (int round = 0; round < 20; ++round) {
        IClassFactory* factory = nullptr;
        ASSERT_EQ(
            library.getClassObject(kClsidOemRender, kIidClassFactory, reinterpret_cast<void**>(&factory)),
            S_OK);
        IUnknown* object = nullptr;
        ASSERT_EQ(factory->CreateInstance(nullptr, kIidPrintOemPS, reinterpret_cast<void**>(&object)), S_OK);
        constexpr int kThreads = 4;
        for (int i = 0; i < kThreads; ++i) {
            factory->AddRef();
            object->AddRef();
        }
        factory->Release();
        object->Release();
        std::vector<std::thread> threads;
        for (int i = 0; i < kThreads; ++i) {
            threads.emplace_back([factory, object] {
                for (int n = 0; n < 50; ++n) {
                    object->AddRef();
                    object->Release();
                }
                object->Release();
                factory->Release();
            });
        }
        for (std::thread& t : threads)
            t.join();
    }
    EXPECT_EQ(library.canUnloadNow(), S_OK);
}

} // namespace
} // namespace klv::sim
