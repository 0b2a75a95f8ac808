// The spooler calls on other hosts answer from the queue that the host
// program attached to the printer handle.
#include "platform/host/host.h"

namespace {

klv::host::Spooler* SpoolerOf(HANDLE printer) {
    auto* handle = static_cast<klv::host::PrinterHandle*>(printer);
    if (handle == nullptr || handle->magic != klv::host::kPrinterHandleMagic || handle->spooler == nullptr)
        return nullptr;
    return handle->spooler;
}

BOOL Outcome(DWORD error) {
    if (error == ERROR_SUCCESS)
        return TRUE;
    SetLastError(error);
    return FALSE;
}

} // namespace

BOOL EnumJobsW(HANDLE printer, DWORD firstJob, DWORD count, DWORD level, LPBYTE jobs, DWORD size,
               LPDWORD needed, LPDWORD returned) {
    klv::host::Spooler* spooler = SpoolerOf(printer);
    if (spooler == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return Outcome(spooler->EnumJobs(firstJob, count, level, jobs, size, needed, returned));
}

BOOL GetJobW(HANDLE printer, DWORD jobId, DWORD level, LPBYTE job, DWORD size, LPDWORD needed) {
    klv::host::Spooler* spooler = SpoolerOf(printer);
    if (spooler == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return Outcome(spooler->GetJob(jobId, level, job, size, needed));
}
