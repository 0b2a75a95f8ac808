// Makes narrow text safe between the parentheses of a PostScript string.
#pragma once

#include "platform/win32.h"

namespace klv {

// Work area of the escaping, and so the largest capacity it serves.
constexpr DWORD kEscapeWorkSize = 260;

// Puts a backslash before every '(' and ')' and doubles every backslash, in
// place, keeping at most capacity - 1 bytes (capacity 1 to 260). A cut never
// leaves a backslash without the byte it escapes.
void EscapePsString(char* text, DWORD capacity);

} // namespace klv
