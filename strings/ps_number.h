// Numbers written into PostScript. They are formatted here rather than by
// the C runtime's printf, whose decimal separator follows the locale of the
// process that loaded the plug-in: "0,50" would break the job. The bytes
// are those of printf in the C locale. Nothing here allocates.
#pragma once

#include "platform/win32.h"

namespace klv {

// Rounds value to two decimals exactly as printf's "%1.2f" does in the C
// locale (the nearest, ties to even, of the value's exact binary form; a
// negative value keeps its sign, so -0.001 gives "-0.00"). Values whose
// magnitude reaches 2^53, and those that are not finite, are refused with
// E_INVALIDARG and an empty text. A text that does not fit is cut as
// BoundedCopy cuts it.
HRESULT FormatFixed2(char* out, DWORD capacity, double value);

// The decimal form of value, as printf's "%d".
HRESULT FormatDecimal(char* out, DWORD capacity, long value);

// The lower-case hexadecimal form of value with at least minDigits digits,
// zero-padded, as printf's "%0*x" (at most 8 digits are ever needed).
HRESULT FormatHex(char* out, DWORD capacity, unsigned long value, DWORD minDigits);

} // namespace klv
