// The trace switch and the formatting of a line, on every platform.
#include "platform/trace.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace klv::trace {

namespace internal {

std::atomic<int> gSwitch{0};
std::atomic<int> gSinks{0};

bool ReadSwitch() {
    const bool on = SwitchedOnByEnvironment();
    gSwitch.store(on ? 2 : 1, std::memory_order_relaxed);
    return on;
}

} // namespace internal

namespace {

constexpr char kPrefix[] = "klvps: ";
constexpr std::size_t kLineBytes = sizeof(kPrefix) - 1 + 256;

} // namespace

void Line(const char* format, ...) {
    char line[kLineBytes];
    std::memcpy(line, kPrefix, sizeof(kPrefix) - 1);
    va_list arguments;
    va_start(arguments, format);
    const int written =
        std::vsnprintf(line + sizeof(kPrefix) - 1, sizeof(line) - (sizeof(kPrefix) - 1), format, arguments);
    va_end(arguments);
    if (written < 0)
        return;
    internal::EmitLine(line);
}

void ReadSwitchAgain() {
    internal::ReadSwitch();
}

} // namespace klv::trace
