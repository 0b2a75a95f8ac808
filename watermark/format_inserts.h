// Fills a text template with numbered inserts ("%1!S!", "%2!d!", "%3").
// Inserts take their arguments in the order in which they appear.
#pragma once

#include "platform/win32.h"

#include <cstdarg>

namespace klv {

// Writes the filled template into destination (null: measure only). *size
// is the destination's capacity on entry and receives the bytes needed,
// terminator included, whenever the output was not written in full.
// Returns the characters written (terminator excluded), else 0.
DWORD FormatInserts(char* destination, const char* templateText, DWORD templateLength, DWORD* size,
                    va_list arguments);

// Measures, allocates exactly the needed bytes (new[], nothrow) into
// *outText and fills them. Returns the text's length without terminator.
DWORD FormatInsertsAlloc(const char* templateText, DWORD templateLength, char** outText, ...);

} // namespace klv
