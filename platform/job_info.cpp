#include "platform/job_info.h"

#include <cstdint>
#include <cstring>

namespace klv::platform {

namespace {

// The lowest priority a job can have, which the spooler gives every job
// that nobody raised.
constexpr DWORD kDefaultPriority = 1;

std::uint64_t TextBytes(const WCHAR* text) {
    if (text == nullptr)
        return 0;
    std::uint64_t units = 0;
    while (text[units] != 0)
        ++units;
    return (units + 1) * sizeof(WCHAR);
}

std::uint64_t RecordBytes(const SpooledJob& job) {
    return sizeof(JOB_INFO_1W) + TextBytes(kSpoolerPrinterName) + TextBytes(job.user) +
           TextBytes(job.document) + TextBytes(kSpoolerDatatype);
}

// Writes records at the front of the block and their strings after the
// last record. Records go through memcpy: the caller's block need not be
// aligned for them.
class Packer {
public:
    Packer(BYTE* block, DWORD records) : records_(block), strings_(block + records * sizeof(JOB_INFO_1W)) {}

    // Fills what the modelled queues know. Left zero or null, because no
    // modelled queue has a value for them: pMachineName (no machine
    // submitted the job), pStatus (null: Status says it all), Status (no
    // status bits: the job is neither paused, printing nor in error),
    // TotalPages and PagesPrinted (zero is what the spooler reports for a
    // job it has not counted or printed yet) and Submitted (no clock).
    void Put(const SpooledJob& job, DWORD position) {
        JOB_INFO_1W record{};
        record.JobId = job.id;
        record.pPrinterName = PutText(kSpoolerPrinterName);
        record.pUserName = PutText(job.user);
        record.pDocument = PutText(job.document);
        record.pDatatype = PutText(kSpoolerDatatype);
        record.Priority = kDefaultPriority;
        record.Position = position;
        std::memcpy(records_, &record, sizeof(record));
        records_ += sizeof(record);
    }

private:
    WCHAR* PutText(const WCHAR* text) {
        if (text == nullptr)
            return nullptr;
        const auto bytes = static_cast<std::size_t>(TextBytes(text));
        std::memcpy(strings_, text, bytes);
        auto* placed = reinterpret_cast<WCHAR*>(strings_);
        strings_ += bytes;
        return placed;
    }

    BYTE* records_;
    BYTE* strings_;
};

// Sizes `count` records from `first` into *needed; false (and nothing
// set) when the answer could not be described in a DWORD.
bool Measure(const SpooledJob* first, DWORD count, DWORD* needed) {
    std::uint64_t bytes = 0;
    for (DWORD i = 0; i < count; ++i)
        bytes += RecordBytes(first[i]);
    if (bytes > 0xFFFFFFFFu)
        return false;
    *needed = static_cast<DWORD>(bytes);
    return true;
}

// The answer fits when the caller's block holds every byte of it.
bool Fits(const BYTE* buffer, DWORD size, DWORD needed) {
    return needed <= size && (needed == 0 || buffer != nullptr);
}

} // namespace

DWORD EnumJobInfo(const SpooledJob* queue, DWORD queued, DWORD firstJob, DWORD count, DWORD level,
                  BYTE* buffer, DWORD size, DWORD* needed, DWORD* returned) {
    if (needed == nullptr || returned == nullptr)
        return ERROR_INVALID_PARAMETER;
    *needed = 0;
    *returned = 0;
    if (level != 1)
        return ERROR_INVALID_LEVEL;
    const DWORD first = firstJob < queued ? firstJob : queued;
    const DWORD listed = count < queued - first ? count : queued - first;
    DWORD bytes = 0;
    if (!Measure(queue + first, listed, &bytes))
        return ERROR_NOT_ENOUGH_MEMORY;
    if (!Fits(buffer, size, bytes)) {
        *needed = bytes;
        return ERROR_INSUFFICIENT_BUFFER;
    }
    Packer packer(buffer, listed);
    for (DWORD i = 0; i < listed; ++i)
        packer.Put(queue[first + i], first + i + 1);
    *needed = bytes;
    *returned = listed;
    return ERROR_SUCCESS;
}

DWORD GetJobInfo(const SpooledJob* queue, DWORD queued, DWORD jobId, DWORD level, BYTE* buffer, DWORD size,
                 DWORD* needed) {
    if (needed == nullptr)
        return ERROR_INVALID_PARAMETER;
    *needed = 0;
    if (level != 1)
        return ERROR_INVALID_LEVEL;
    DWORD at = 0;
    while (at < queued && queue[at].id != jobId)
        ++at;
    if (at == queued)
        return ERROR_INVALID_PARAMETER;
    DWORD bytes = 0;
    if (!Measure(queue + at, 1, &bytes))
        return ERROR_NOT_ENOUGH_MEMORY;
    *needed = bytes;
    if (!Fits(buffer, size, bytes))
        return ERROR_INSUFFICIENT_BUFFER;
    Packer(buffer, 1).Put(queue[at], at + 1);
    return ERROR_SUCCESS;
}

} // namespace klv::platform
