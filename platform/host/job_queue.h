// A print queue for host programs: holds jobs and answers the spooler calls
// that the plug-in makes through a printer handle.
#pragma once

#include "platform/host/host.h"
#include "platform/print_queue.h"

#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace klv::host {

using QueuedJob = platform::QueuedJob;

class JobQueue final : public Spooler {
public:
    JobQueue();
    JobQueue(const JobQueue&) = delete;
    JobQueue& operator=(const JobQueue&) = delete;

    void Add(QueuedJob job);
    // Makes the listing or the single-job call fail, as a spooler may.
    void FailEnumJobs(bool fail);
    void FailGetJob(bool fail);

    // The handle to pass to the plug-in as DEVOBJ.hPrinter.
    HANDLE Handle();

    int EnumJobsCalls() const;
    int GetJobCalls() const;

    DWORD EnumJobs(DWORD firstJob, DWORD count, DWORD level, BYTE* jobs, DWORD size, DWORD* needed,
                   DWORD* returned) override;
    DWORD GetJob(DWORD jobId, DWORD level, BYTE* job, DWORD size, DWORD* needed) override;

private:
    mutable std::mutex mutex_;
    PrinterHandle handle_;
    std::vector<QueuedJob> jobs_;
    bool failEnum_ = false;
    bool failGet_ = false;
    int enumCalls_ = 0;
    int getCalls_ = 0;
};

} // namespace klv::host
