// Diagnostics for field reports, off by default.
//
//   KLV_TRACE("job %lu not found by its id; billing the last listed job", id);
//
// A line is written only when tracing is on, and its arguments are not even
// evaluated otherwise: when off, a trace costs a read of two cached flags.
// Tracing writes nothing into the job and keeps the caller's last error.
//
// Where the lines go:
// - on Windows, to OutputDebugStringA (a debugger shows them),
//   when the environment variable KLVPS_TRACE is 1 in the process that
//   loaded the plug-in;
// - on other hosts, to a sink that the program which loaded the plug-in set
//   for the calling thread (KlvpsSetTraceSink, platform/host), else to
//   standard error when KLVPS_TRACE is 1.
//
// Trace only where the plug-in falls back or gives up; never in a drawing
// hook, which must stay a bare forwarding step.
#pragma once

#include <atomic>

namespace klv::trace {

namespace internal {
// 0: not yet read from the environment; 1: off; 2: on.
extern std::atomic<int> gSwitch;
// Threads that have a sink set.
extern std::atomic<int> gSinks;
bool ReadSwitch();
// Per platform: whether KLVPS_TRACE is 1, and where a formatted line goes.
bool SwitchedOnByEnvironment();
void EmitLine(const char* line);
} // namespace internal

// Whether a line would be written anywhere.
inline bool On() {
    const int state = internal::gSwitch.load(std::memory_order_relaxed);
    if (state == 2 || internal::gSinks.load(std::memory_order_relaxed) != 0)
        return true;
    return state == 0 && internal::ReadSwitch();
}

// Formats one line (printf conventions, at most 255 characters) and writes
// it with a "klvps: " prefix.
void Line(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

// Reads KLVPS_TRACE again (tests change it).
void ReadSwitchAgain();

// What receives the calling thread's lines (other hosts only): the line
// without a line end.
using Sink = void (*)(void* context, const char* line);
// Sets the calling thread's sink; a null sink removes it (other hosts only).
void SetThreadSink(Sink sink, void* context);

} // namespace klv::trace

#define KLV_TRACE(...)                                                                                       \
    do {                                                                                                     \
        if (::klv::trace::On())                                                                              \
            ::klv::trace::Line(__VA_ARGS__);                                                                 \
    } while (0)
