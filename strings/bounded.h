// Bounded operations on zero-terminated strings in fixed-size buffers.
//
// Capacities count characters of the destination, terminator included.
// Every operation that accepts its capacity leaves a terminated string and
// never writes past the capacity; a cut is reported as
// STRSAFE_E_INSUFFICIENT_BUFFER. Nothing here allocates.
#pragma once

#include "platform/win32.h"

#include <cstdarg>

namespace klv {

HRESULT BoundedCopy(char* destination, DWORD capacity, const char* source);
HRESULT BoundedCopyWide(WCHAR* destination, DWORD capacity, const WCHAR* source);
HRESULT BoundedAppend(char* destination, DWORD capacity, const char* source);
HRESULT BoundedLength(const char* text, DWORD capacity, DWORD* length);
HRESULT BoundedFormat(char* destination, DWORD capacity, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 3, 4)))
#endif
    ;
HRESULT BoundedFormatV(char* destination, DWORD capacity, const char* format, va_list arguments);

} // namespace klv
