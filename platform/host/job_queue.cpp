#include "platform/host/job_queue.h"

#include <cstring>

namespace {

using klv::host::QueuedJob;

DWORD StringBytes(const std::optional<std::u16string>& text) {
    return text ? static_cast<DWORD>((text->size() + 1) * sizeof(WCHAR)) : 0;
}

DWORD RecordBytes(const QueuedJob& job) {
    return sizeof(JOB_INFO_1W) + StringBytes(job.user) + StringBytes(job.document);
}

// Lays out records first and their strings after them, as the spooler does.
class Packer {
public:
    Packer(BYTE* buffer, DWORD recordCount)
        : buffer_(buffer), strings_(buffer + recordCount * sizeof(JOB_INFO_1W)) {}

    void Put(DWORD index, const QueuedJob& job) {
        JOB_INFO_1W record{};
        record.JobId = job.id;
        record.pUserName = PutString(job.user);
        record.pDocument = PutString(job.document);
        std::memcpy(buffer_ + index * sizeof(JOB_INFO_1W), &record, sizeof(record));
    }

private:
    WCHAR* PutString(const std::optional<std::u16string>& text) {
        if (!text)
            return nullptr;
        auto* at = reinterpret_cast<WCHAR*>(strings_);
        std::memcpy(strings_, text->c_str(), StringBytes(text));
        strings_ += StringBytes(text);
        return at;
    }

    BYTE* buffer_;
    BYTE* strings_;
};

} // namespace

namespace klv::host {

JobQueue::JobQueue() {
    handle_.spooler = this;
}

void JobQueue::Add(QueuedJob job) {
    std::lock_guard lock(mutex_);
    jobs_.push_back(std::move(job));
}

void JobQueue::Clear() {
    std::lock_guard lock(mutex_);
    jobs_.clear();
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
    if (needed == nullptr || returned == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    *returned = 0;
    if (level != 1) {
        return ERROR_INVALID_LEVEL;
    }
    if (failEnum_) {
        *needed = 0;
        return ERROR_INVALID_HANDLE;
    }
    DWORD first = firstJob < jobs_.size() ? firstJob : static_cast<DWORD>(jobs_.size());
    DWORD take = static_cast<DWORD>(jobs_.size()) - first;
    if (take > count)
        take = count;
    DWORD bytes = 0;
    for (DWORD i = 0; i < take; ++i)
        bytes += RecordBytes(jobs_[first + i]);
    *needed = bytes;
    if (size < bytes || (bytes > 0 && jobs == nullptr)) {
        return ERROR_INSUFFICIENT_BUFFER;
    }
    Packer packer(jobs, take);
    for (DWORD i = 0; i < take; ++i)
        packer.Put(i, jobs_[first + i]);
    *returned = take;
    return ERROR_SUCCESS;
}

DWORD JobQueue::GetJob(DWORD jobId, DWORD level, BYTE* job, DWORD size, DWORD* needed) {
    std::lock_guard lock(mutex_);
    ++getCalls_;
    if (needed == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    if (level != 1) {
        return ERROR_INVALID_LEVEL;
    }
    const QueuedJob* found = nullptr;
    for (const QueuedJob& queued : jobs_)
        if (queued.id == jobId)
            found = &queued;
    if (failGet_ || found == nullptr) {
        *needed = 0;
        return ERROR_INVALID_PARAMETER;
    }
    *needed = RecordBytes(*found);
    if (size < *needed || job == nullptr) {
        return ERROR_INSUFFICIENT_BUFFER;
    }
    Packer(job, 1).Put(0, *found);
    return ERROR_SUCCESS;
}

} // namespace klv::host
