// Conversion of wide text to the system's ANSI code page for the job.
#pragma once

#include "platform/win32.h"

namespace klv {

// The most bytes one character takes in any ANSI code page, with room.
constexpr int kMaxCharBytes = 8;

// Halves of a UTF-16 surrogate pair, which together are one character.
constexpr bool IsHighSurrogate(WCHAR unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
constexpr bool IsLowSurrogate(WCHAR unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

// Converts the terminated wide text (at most maxUnits code units of it) to
// the ANSI code page into out. Text that does not fit is cut at a character
// boundary, never inside a double-byte character; out is always terminated
// (capacity >= 1). Returns the number of bytes before the terminator.
DWORD AnsiFromWide(char* out, DWORD capacity, const WCHAR* text, DWORD maxUnits);

} // namespace klv
