// The spooler's level-1 job record, JOB_INFO_1W, packed as EnumJobsW and
// GetJobW return it. Every spooler model klvps has answers through these
// two functions: the host queue behind the emulated calls (platform/host)
// and the stand-in winspool.drv of the Windows builds (rigs/winspool), so
// the plug-in gets the same answers on every ABI.
//
// The answer to a call is laid out as the platform's spooler lays it out:
// the records first, one after the other, then each record's strings in
// field order, from the end of the records on. A call that succeeds
// writes exactly *needed bytes; a call that fails writes nothing into the
// caller's buffer.
//
// Example, a queue of one job listed as the plug-in lists it:
//
//   const klv::platform::SpooledJob queue[] = {{7, KLV_W("alice"), KLV_W("Memo.doc")}};
//   DWORD needed = 0, returned = 0;
//   EnumJobInfo(queue, 1, 0, 15, 1, nullptr, 0, &needed, &returned); // ERROR_INSUFFICIENT_BUFFER
//   std::vector<BYTE> block(needed);
//   EnumJobInfo(queue, 1, 0, 15, 1, block.data(), needed, &needed, &returned); // ERROR_SUCCESS
#pragma once

#include "platform/win32.h"

namespace klv::platform {

// One queued job as the packer reads it; a null text leaves the record's
// pointer null, as the spooler's records do for a name it never had.
struct SpooledJob {
    DWORD id = 0;
    const WCHAR* user = nullptr;
    const WCHAR* document = nullptr;
};

// The printer every modelled queue belongs to, and the data type of its
// jobs: the driver's PostScript goes to the printer as it is.
inline constexpr WCHAR kSpoolerPrinterName[] = KLV_W("klvps stand-in printer");
inline constexpr WCHAR kSpoolerDatatype[] = KLV_W("RAW");

// EnumJobsW over `queue` (`queued` jobs, in queue order): the jobs at the
// zero-based positions firstJob to firstJob + count - 1 that exist. Returns
// the error the call leaves as its last error:
// - ERROR_INVALID_PARAMETER when needed or returned is null (the platform
//   makes both required), writing nothing at all;
// - ERROR_INVALID_LEVEL for any level but 1, the only one modelled;
// - ERROR_INSUFFICIENT_BUFFER when `size` (or a null buffer) is too small,
//   with *needed set to the bytes the answer takes;
// - ERROR_NOT_ENOUGH_MEMORY when the answer would take 4 GiB or more;
// - ERROR_SUCCESS with *needed bytes written and *returned records. A
//   window past the end of the queue, or of no jobs, is an empty answer:
//   success with 0 bytes and 0 records.
// Every failure but the first sets *returned to 0, and *needed to 0 unless
// the buffer was too small.
DWORD EnumJobInfo(const SpooledJob* queue, DWORD queued, DWORD firstJob, DWORD count, DWORD level,
                  BYTE* buffer, DWORD size, DWORD* needed, DWORD* returned);

// GetJobW for the job `jobId` of `queue`, the first with that id. The same
// errors as EnumJobInfo, plus ERROR_INVALID_PARAMETER (*needed 0) for an id
// that is not queued.
DWORD GetJobInfo(const SpooledJob* queue, DWORD queued, DWORD jobId, DWORD level, BYTE* buffer, DWORD size,
                 DWORD* needed);

} // namespace klv::platform
