// The queue of the printer a driver session prints to, as the spooler
// calls that the plug-in makes (GetJobW, EnumJobsW) see it. On other hosts
// an emulated queue behind the printer handle (platform/host); on Windows
// the stand-in spooler library loaded in place of the platform's
// winspool.drv (rigs/winspool), which keeps one queue for every handle.
#pragma once

#include "platform/win32.h"

#include <memory>
#include <optional>
#include <string>

namespace klv::platform {

struct QueuedJob {
    DWORD id = 0;
    std::optional<std::u16string> user;     // no value: the record's pUserName is null
    std::optional<std::u16string> document; // no value: the record's pDocument is null
};

class PrintQueue {
public:
    PrintQueue(); // an empty queue
    ~PrintQueue();
    PrintQueue(const PrintQueue&) = delete;
    PrintQueue& operator=(const PrintQueue&) = delete;

    // Queues a job after those already queued. False with a message when
    // the spooler refuses it.
    bool Add(const QueuedJob& job, std::string* error);

    // The handle to pass to the plug-in as DEVOBJ.hPrinter.
    HANDLE Handle();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace klv::platform
