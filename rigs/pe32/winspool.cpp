// The spooler's job calls. No printer is ever opened in this process, so
// every handle the images pass is unknown, as the spooler reports it.
#include "api.h"

namespace pe32::winspool {

namespace {
constexpr DWORD kErrorInvalidHandle = 6;
} // namespace

BOOL PE32_WINAPI EnumJobsW(HANDLE, DWORD, DWORD, DWORD, std::uint8_t*, DWORD, DWORD* needed,
                           DWORD* returned) {
    if (needed != nullptr)
        *needed = 0;
    if (returned != nullptr)
        *returned = 0;
    pe32::SetLastError(kErrorInvalidHandle);
    return 0;
}

BOOL PE32_WINAPI GetJobW(HANDLE, DWORD, DWORD, std::uint8_t*, DWORD, DWORD* needed) {
    if (needed != nullptr)
        *needed = 0;
    pe32::SetLastError(kErrorInvalidHandle);
    return 0;
}

} // namespace pe32::winspool
