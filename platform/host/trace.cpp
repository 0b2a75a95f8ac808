// Trace lines on other hosts: to the calling thread's sink when the program
// that loaded the plug-in set one, else to standard error under
// KLVPS_TRACE=1.
#include "platform/trace.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace klv::trace {

namespace {

thread_local Sink tSink = nullptr;
thread_local void* tContext = nullptr;

} // namespace

void SetThreadSink(Sink sink, void* context) {
    if ((sink != nullptr) != (tSink != nullptr))
        internal::gSinks.fetch_add(sink != nullptr ? 1 : -1, std::memory_order_relaxed);
    tSink = sink;
    tContext = sink != nullptr ? context : nullptr;
}

namespace internal {

bool SwitchedOnByEnvironment() {
    const char* value = std::getenv("KLVPS_TRACE");
    return value != nullptr && std::strcmp(value, "1") == 0;
}

void EmitLine(const char* line) {
    if (tSink != nullptr)
        tSink(tContext, line);
    else if (gSwitch.load(std::memory_order_relaxed) == 2)
        std::fprintf(stderr, "%s\n", line);
}

} // namespace internal

} // namespace klv::trace
