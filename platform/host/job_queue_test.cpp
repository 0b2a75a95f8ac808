// The host spooler: the two-call protocol of the job listing and the
// single-job call, answered through a printer handle.
#include "platform/host/job_queue.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using klv::host::JobQueue;

std::u16string At(const WCHAR* text) {
    return text != nullptr ? std::u16string(text) : u"<null>";
}

TEST(JobQueue, ListsJobsWithTheTwoCallProtocol) {
    JobQueue queue;
    for (DWORD id = 1; id <= 20; ++id)
        queue.Add({id, u"user" + std::u16string(1, static_cast<char16_t>(u'a' + id)), u"doc"});
    DWORD needed = 0, returned = 99;
    EXPECT_FALSE(EnumJobsW(queue.Handle(), 0, 15, 1, nullptr, 0, &needed, &returned));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(returned, 0u);
    ASSERT_GT(needed, 15 * sizeof(JOB_INFO_1W));
    std::vector<BYTE> buffer(needed);
    ASSERT_TRUE(EnumJobsW(queue.Handle(), 0, 15, 1, buffer.data(), needed, &needed, &returned));
    ASSERT_EQ(returned, 15u);
    const auto* jobs = reinterpret_cast<const JOB_INFO_1W*>(buffer.data());
    EXPECT_EQ(jobs[14].JobId, 15u);
    EXPECT_EQ(At(jobs[14].pUserName), u"userp");
}

TEST(JobQueue, RefusesOtherLevelsFailsWhenToldAndPassesNullNames) {
    JobQueue queue;
    queue.Add({7, std::nullopt, u"report"});
    DWORD needed = 0, returned = 99;
    std::vector<BYTE> buffer(512);
    EXPECT_FALSE(EnumJobsW(queue.Handle(), 0, 15, 2, buffer.data(), 512, &needed, &returned));
    EXPECT_EQ(returned, 0u);
    queue.FailEnumJobs(true);
    EXPECT_FALSE(EnumJobsW(queue.Handle(), 0, 15, 1, buffer.data(), 512, &needed, &returned));
    queue.FailEnumJobs(false);
    ASSERT_TRUE(EnumJobsW(queue.Handle(), 0, 15, 1, buffer.data(), 512, &needed, &returned));
    ASSERT_EQ(returned, 1u);
    const auto* job = reinterpret_cast<const JOB_INFO_1W*>(buffer.data());
    EXPECT_EQ(job->pUserName, nullptr);
    EXPECT_EQ(At(job->pDocument), u"report");
}

TEST(JobQueue, FetchesOneJobById) {
    JobQueue queue;
    queue.Add({3, u"ann", u"a.txt"});
    queue.Add({9, u"bob", u"b.txt"});
    DWORD needed = 0;
    EXPECT_FALSE(GetJobW(queue.Handle(), 9, 1, nullptr, 0, &needed));
    const DWORD size = needed;
    std::vector<BYTE> buffer(size);
    ASSERT_TRUE(GetJobW(queue.Handle(), 9, 1, buffer.data(), size, &needed));
    const auto* job = reinterpret_cast<const JOB_INFO_1W*>(buffer.data());
    EXPECT_EQ(At(job->pUserName), u"bob");
    EXPECT_FALSE(GetJobW(queue.Handle(), 4, 1, buffer.data(), size, &needed)); // no such job
    queue.FailGetJob(true);
    EXPECT_FALSE(GetJobW(queue.Handle(), 9, 1, buffer.data(), size, &needed));
    EXPECT_EQ(queue.GetJobCalls(), 4);
}

TEST(JobQueue, HandlesThatAreNotPrintersAreRefused) {
    int notAPrinter = 0;
    DWORD needed = 0;
    for (HANDLE handle : {static_cast<HANDLE>(nullptr), static_cast<HANDLE>(&notAPrinter)}) {
        SetLastError(0);
        EXPECT_FALSE(EnumJobsW(handle, 0, 15, 1, nullptr, 0, &needed, &needed));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
        SetLastError(0);
        EXPECT_FALSE(GetJobW(handle, 1, 1, nullptr, 0, &needed));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    }
}

} // namespace
