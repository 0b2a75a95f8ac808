// The rule for text written into PostScript as a bare name ("/Font /NAME
// def"), shared by the plug-in, which cleans the watermark font name, and
// the tools, which refuse a font name that would not be written as given.
#pragma once

#include "platform/win32.h"

namespace klv {

// Whether a byte can stand inside a PostScript name token. Interpreters read
// a job byte by byte, whatever its code page: white space and the other
// control bytes end a name, the delimiters ( ) < > [ ] { } / % start other
// tokens, and the bytes 0x80 to 0x9F start binary tokens (0x7F, DEL, is
// refused with them).
constexpr bool IsPsNameByte(unsigned char byte) {
    if (byte <= 0x20 || (byte >= 0x7F && byte <= 0x9F))
        return false;
    for (const char delimiter : "()<>[]{}/%")
        if (delimiter != '\0' && byte == static_cast<unsigned char>(delimiter))
            return false;
    return true;
}

// Converts name (at most maxUnits units, up to its terminator) to the ANSI
// code page one character at a time, keeping a character only when every
// one of its bytes can stand in a name; a double-byte character is kept or
// dropped whole. Stops before the first character that does not fit out
// (capacity >= 1, terminator included). Returns the bytes before the
// terminator; 0 when nothing was kept. Allocates nothing.
DWORD PsNameFromWide(char* out, DWORD capacity, const WCHAR* name, DWORD maxUnits);

// Whether every character of name has a form in the ANSI code page (no
// replacement character) whose bytes can all stand in a name, so that
// PsNameFromWide keeps the whole name. False for an empty name.
bool IsWholePsName(const WCHAR* name, DWORD maxUnits);

} // namespace klv
