// Escaping of narrow text for a PostScript string literal.
#include "strings/escape.h"

#include <cstring>

namespace klv {

void EscapePsString(char* text, DWORD capacity) {
    if (text == nullptr || capacity == 0)
        return;

    // The escaped form is built in a local work area and kept to whole
    // units: a byte, or a backslash with the byte it escapes. A pair that
    // does not fit is dropped whole, so the result never ends in a lone
    // backslash that would escape the closing parenthesis after it.
    char work[kEscapeWorkSize];
    const DWORD limit = capacity - 1 < kEscapeWorkSize ? capacity - 1 : kEscapeWorkSize;
    DWORD length = 0;
    for (DWORD i = 0; text[i] != '\0'; ++i) {
        const char c = text[i];
        const bool pair = c == '(' || c == ')' || c == '\\';
        const DWORD need = pair ? 2 : 1;
        if (length + need > limit)
            break;
        if (pair)
            work[length++] = '\\';
        work[length++] = c;
    }

    // Every input byte yields at least one output byte, so the loop above
    // never reads the text beyond position limit; overwriting it only now is
    // safe.
    std::memcpy(text, work, length);
    std::memset(text + length, 0, capacity - length);
}

} // namespace klv
