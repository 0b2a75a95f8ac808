#include "platform/host/job_queue.h"

#include "platform/job_info.h"

namespace {

using klv::host::QueuedJob;
using klv::platform::SpooledJob;

const WCHAR* TextOrNull(const std::optional<std::u16string>& text) {
    return text ? text->c_str() : nullptr;
}

// The queue as the packer reads it; valid while the queue is unchanged.
std::vector<SpooledJob> Spooled(const std::vector<QueuedJob>& jobs) {
    std::vector<SpooledJob> spooled;
    spooled.reserve(jobs.size());
    for (const QueuedJob& job : jobs)
        spooled.push_back({job.id, TextOrNull(job.user), TextOrNull(job.document)});
    return spooled;
}

} // namespace

namespace klv::host {

JobQueue::JobQueue() {
    handle_.spooler = this;
}

void JobQueue::Add(QueuedJob job) {
    std::lock_guard lock(mutex_);
    jobs_.push_back(std::move(job));
}

void JobQueue::FailEnumJobs(bool fail) {
    std::lock_guard lock(mutex_);
    failEnum_ = fail;
}

void JobQueue::FailGetJob(bool fail) {
    std::lock_guard lock(mutex_);
    failGet_ = fail;
}

HANDLE JobQueue::Handle() {
    return &handle_;
}

int JobQueue::EnumJobsCalls() const {
    std::lock_guard lock(mutex_);
    return enumCalls_;
}

int JobQueue::GetJobCalls() const {
    std::lock_guard lock(mutex_);
    return getCalls_;
}

DWORD JobQueue::EnumJobs(DWORD firstJob, DWORD count, DWORD level, BYTE* jobs, DWORD size, DWORD* needed,
                         DWORD* returned) {
    std::lock_guard lock(mutex_);
    ++enumCalls_;
    if (failEnum_) {
        if (needed != nullptr)
            *needed = 0;
        if (returned != nullptr)
            *returned = 0;
        return ERROR_INVALID_HANDLE;
    }
    const std::vector<SpooledJob> spooled = Spooled(jobs_);
    return platform::EnumJobInfo(spooled.data(), static_cast<DWORD>(spooled.size()), firstJob, count, level,
                                 jobs, size, needed, returned);
}

DWORD JobQueue::GetJob(DWORD jobId, DWORD level, BYTE* job, DWORD size, DWORD* needed) {
    std::lock_guard lock(mutex_);
    ++getCalls_;
    if (failGet_) {
        if (needed != nullptr)
            *needed = 0;
        return ERROR_INVALID_PARAMETER;
    }
    const std::vector<SpooledJob> spooled = Spooled(jobs_);
    return platform::GetJobInfo(spooled.data(), static_cast<DWORD>(spooled.size()), jobId, level, job, size,
                                needed);
}

} // namespace klv::host
