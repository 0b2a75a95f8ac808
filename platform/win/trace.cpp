// Trace lines on Windows: OutputDebugStringA, switched on by the
// environment variable KLVPS_TRACE=1. Neither call may change the caller's
// last error, which the driver may read after a failed call.
#include "platform/trace.h"
#include "platform/win32.h"

#include <cstring>

namespace klv::trace::internal {

bool SwitchedOnByEnvironment() {
    const DWORD saved = GetLastError();
    char value[4] = {};
    const DWORD length = GetEnvironmentVariableA("KLVPS_TRACE", value, sizeof value);
    SetLastError(saved);
    return length == 1 && value[0] == '1';
}

void EmitLine(const char* line) {
    const DWORD saved = GetLastError();
    char withEnd[300];
    const std::size_t length =
        std::strlen(line) < sizeof withEnd - 2 ? std::strlen(line) : sizeof withEnd - 2;
    std::memcpy(withEnd, line, length);
    withEnd[length] = '\n';
    withEnd[length + 1] = '\0';
    OutputDebugStringA(withEnd);
    SetLastError(saved);
}

} // namespace klv::trace::internal
