// A stand-in for the platform's spooler library, winspool.drv, for tests:
// it answers GetJobW and EnumJobsW at level 1 from a queue that the test
// fills through this library's own exports. Wine loads it as a native
// override and rigs/pe32 in place of its built-in spooler calls, so every
// ABI sees the same jobs. Any non-null printer handle names the one queue.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstddef>

namespace {

constexpr DWORD kMaxJobs = 32;
constexpr DWORD kMaxTextUnits = 512;
constexpr DWORD kErrorInvalidHandle = 6;
constexpr DWORD kErrorInvalidParameter = 87;
constexpr DWORD kErrorInsufficientBuffer = 122;
constexpr DWORD kErrorInvalidLevel = 124;

// The level-1 job record as the spooler's callers lay it out.
struct JobInfo1 {
    DWORD JobId;
    LPWSTR pPrinterName;
    LPWSTR pMachineName;
    LPWSTR pUserName;
    LPWSTR pDocument;
    LPWSTR pDatatype;
    LPWSTR pStatus;
    DWORD Status;
    DWORD Priority;
    DWORD Position;
    DWORD TotalPages;
    DWORD PagesPrinted;
    SYSTEMTIME Submitted;
};
static_assert(sizeof(JobInfo1) == (sizeof(void*) == 8 ? 96 : 64));

struct Text {
    bool present = false;
    WCHAR units[kMaxTextUnits] = {};
};

struct Job {
    DWORD id = 0;
    Text user;
    Text document;
};

Job gJobs[kMaxJobs];
DWORD gJobCount = 0;

const WCHAR kPrinterName[] = L"klvps stand-in printer";
const WCHAR kDatatype[] = L"RAW";

DWORD Units(const WCHAR* text) {
    DWORD n = 0;
    while (text[n] != 0)
        ++n;
    return n;
}

bool Store(Text& text, const WCHAR* from) {
    text.present = from != nullptr;
    if (from == nullptr)
        return true;
    const DWORD n = Units(from);
    if (n >= kMaxTextUnits)
        return false;
    for (DWORD i = 0; i <= n; ++i)
        text.units[i] = from[i];
    return true;
}

DWORD TextBytes(const WCHAR* text) {
    return (Units(text) + 1) * sizeof(WCHAR);
}

DWORD RecordBytes(const Job& job) {
    DWORD bytes = sizeof(JobInfo1) + TextBytes(kPrinterName) + TextBytes(kDatatype);
    if (job.user.present)
        bytes += TextBytes(job.user.units);
    if (job.document.present)
        bytes += TextBytes(job.document.units);
    return bytes;
}

// Lays out a string at the back of the caller's block.
LPWSTR PlaceText(BYTE*& end, const WCHAR* text) {
    const DWORD bytes = TextBytes(text);
    end -= bytes;
    auto* placed = reinterpret_cast<WCHAR*>(end);
    for (DWORD i = 0; i < bytes / sizeof(WCHAR); ++i)
        placed[i] = text[i];
    return placed;
}

// Writes `count` records from `first` into `block`: the records at the
// front, their strings from the back, as the spooler packs them.
void Fill(const Job* first, DWORD count, DWORD position, BYTE* block, DWORD size) {
    auto* records = reinterpret_cast<JobInfo1*>(block);
    BYTE* end = block + size;
    for (DWORD i = 0; i < count; ++i) {
        const Job& job = first[i];
        JobInfo1 record{};
        record.JobId = job.id;
        record.pPrinterName = PlaceText(end, kPrinterName);
        record.pUserName = job.user.present ? PlaceText(end, job.user.units) : nullptr;
        record.pDocument = job.document.present ? PlaceText(end, job.document.units) : nullptr;
        record.pDatatype = PlaceText(end, kDatatype);
        record.Priority = 1;
        record.Position = position + i + 1;
        records[i] = record;
    }
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
    if (printer == nullptr) {
        SetLastError(kErrorInvalidHandle);
        return FALSE;
    }
    if (level != 1) {
        SetLastError(kErrorInvalidLevel);
        return FALSE;
    }
    for (DWORD i = 0; i < gJobCount; ++i) {
        if (gJobs[i].id != jobId)
            continue;
        const DWORD bytes = RecordBytes(gJobs[i]);
        if (needed != nullptr)
            *needed = bytes;
        if (job == nullptr || size < bytes) {
            SetLastError(kErrorInsufficientBuffer);
            return FALSE;
        }
        Fill(&gJobs[i], 1, i, job, size);
        return TRUE;
    }
    SetLastError(kErrorInvalidParameter);
    return FALSE;
}

__declspec(dllexport) BOOL WINAPI EnumJobsW(HANDLE printer, DWORD firstJob, DWORD count, DWORD level,
                                            BYTE* jobs, DWORD size, DWORD* needed, DWORD* returned) {
    if (returned != nullptr)
        *returned = 0;
    if (printer == nullptr) {
        SetLastError(kErrorInvalidHandle);
        return FALSE;
    }
    if (level != 1) {
        SetLastError(kErrorInvalidLevel);
        return FALSE;
    }
    const DWORD first = firstJob < gJobCount ? firstJob : gJobCount;
    const DWORD listed = count < gJobCount - first ? count : gJobCount - first;
    DWORD bytes = 0;
    for (DWORD i = 0; i < listed; ++i)
        bytes += RecordBytes(gJobs[first + i]);
    if (needed != nullptr)
        *needed = bytes;
    if (bytes > size || (bytes > 0 && jobs == nullptr)) {
        SetLastError(kErrorInsufficientBuffer);
        return FALSE;
    }
    if (listed > 0)
        Fill(&gJobs[first], listed, first, jobs, size);
    if (returned != nullptr)
        *returned = listed;
    return TRUE;
}

} // extern "C"
