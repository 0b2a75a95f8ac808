// What the emulated Win32 layer offers the host programs (the driver
// simulator, the command line tool and the tests) beyond the Win32 calls:
// a spooler to attach to printer handles, the ANSI code page, and the table
// of resources that a module embeds.
#pragma once

#include "platform/win32.h"

#if !defined(_WIN32)

#include <cstdint>

namespace klv::host {

// A print queue as the spooler calls see it. Printer handles given to the
// plug-in on other hosts point to a PrinterHandle; the emulated EnumJobsW
// and GetJobW answer from the queue attached to it. The queue lives in the
// host program and the calls in the plug-in's module, each with its own
// last error, so a queue reports failure as an error code (0: success),
// which the calls then make the caller's last error.
class Spooler {
public:
    virtual DWORD EnumJobs(DWORD firstJob, DWORD count, DWORD level, BYTE* jobs, DWORD size, DWORD* needed,
                           DWORD* returned) = 0;
    virtual DWORD GetJob(DWORD jobId, DWORD level, BYTE* job, DWORD size, DWORD* needed) = 0;

protected:
    ~Spooler() = default;
};

constexpr std::uint32_t kPrinterHandleMagic = 0x4B505254; // "KPRT"

struct PrinterHandle {
    std::uint32_t magic = kPrinterHandleMagic;
    Spooler* spooler = nullptr;
};

// The ANSI code page that WideCharToMultiByte(CP_ACP, ...) converts to.
// Defaults to KLVPS_ANSI_CODEPAGE from the environment, else 1252. Returns
// false, changing nothing, when the host cannot convert to that code page.
bool SetAnsiCodePage(UINT codePage);
UINT AnsiCodePage();

// A resource compiled into a module.
struct EmbeddedResource {
    WORD type;
    WORD id;
    const BYTE* data;
    DWORD size;
};

// The resources of this module (generated from resources/).
extern const EmbeddedResource kEmbeddedResources[];
extern const unsigned kEmbeddedResourceCount;

} // namespace klv::host

#endif
