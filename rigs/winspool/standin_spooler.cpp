// A stand-in for the platform's spooler library, winspool.drv, for tests:
// it answers GetJobW and EnumJobsW from a queue that the test fills
// through this library's own exports, with the records packed by the
// platform layer's packer (platform/job_info.h), as the host queue packs
// them. Wine loads it as a native override and rigs/pe32 in place of its
// built-in spooler calls, so every ABI gets the same answers. Any non-null
// printer handle names the one queue.
#include "platform/job_info.h"

namespace {

using klv::platform::SpooledJob;

constexpr DWORD kMaxJobs = 32;
constexpr DWORD kMaxTextUnits = 512;

struct Text {
    bool present = false;
    WCHAR units[kMaxTextUnits] = {};

    const WCHAR* OrNull() const { return present ? units : nullptr; }
};

struct Job {
    DWORD id = 0;
    Text user;
    Text document;
};

Job gJobs[kMaxJobs];
DWORD gJobCount = 0;

bool Store(Text& text, const WCHAR* from) {
    text.present = from != nullptr;
    if (from == nullptr)
        return true;
    DWORD n = 0;
    while (from[n] != 0)
        if (++n == kMaxTextUnits)
            return false;
    for (DWORD i = 0; i <= n; ++i)
        text.units[i] = from[i];
    return true;
}

// The queue as the packer reads it.
DWORD Spooled(SpooledJob (&spooled)[kMaxJobs]) {
    for (DWORD i = 0; i < gJobCount; ++i)
        spooled[i] = {gJobs[i].id, gJobs[i].user.OrNull(), gJobs[i].document.OrNull()};
    return gJobCount;
}

BOOL Answer(DWORD error) {
    if (error == ERROR_SUCCESS)
        return TRUE;
    SetLastError(error);
    return FALSE;
}

} // namespace

extern "C" {

// Empties the queue.
__declspec(dllexport) void WINAPI KlvSpoolerClear() {
    gJobCount = 0;
}

// Queues a job; a null user or document leaves that field of its record null.
__declspec(dllexport) BOOL WINAPI KlvSpoolerAddJob(DWORD id, const WCHAR* user, const WCHAR* document) {
    if (gJobCount == kMaxJobs)
        return FALSE;
    Job& job = gJobs[gJobCount];
    job.id = id;
    if (!Store(job.user, user) || !Store(job.document, document))
        return FALSE;
    ++gJobCount;
    return TRUE;
}

__declspec(dllexport) BOOL WINAPI
    GetJobW(HANDLE printer, DWORD jobId, DWORD level, BYTE* job, DWORD size, DWORD* needed) {
    if (printer == nullptr)
        return Answer(ERROR_INVALID_HANDLE);
    SpooledJob spooled[kMaxJobs];
    const DWORD queued = Spooled(spooled);
    return Answer(klv::platform::GetJobInfo(spooled, queued, jobId, level, job, size, needed));
}

__declspec(dllexport) BOOL WINAPI EnumJobsW(HANDLE printer, DWORD firstJob, DWORD count, DWORD level,
                                            BYTE* jobs, DWORD size, DWORD* needed, DWORD* returned) {
    if (printer == nullptr)
        return Answer(ERROR_INVALID_HANDLE);
    SpooledJob spooled[kMaxJobs];
    const DWORD queued = Spooled(spooled);
    return Answer(
        klv::platform::EnumJobInfo(spooled, queued, firstJob, count, level, jobs, size, needed, returned));
}

} // extern "C"
