// Conversion of wide text to the ANSI code page, one character at a time.
#include "strings/ansi.h"

#include <cstring>

namespace klv {

DWORD AnsiFromWide(char* out, DWORD capacity, const WCHAR* text, DWORD maxUnits) {
    if (out == nullptr || capacity == 0)
        return 0;
    DWORD produced = 0;
    if (text != nullptr) {
        // Converting the whole string at once would fail outright, or leave
        // half of a double-byte character, when the buffer is too small. One
        // character per call lets the text be cut between characters.
        for (DWORD i = 0; i < maxUnits && text[i] != 0;) {
            DWORD units = 1;
            if (IsHighSurrogate(text[i]) && i + 1 < maxUnits && IsLowSurrogate(text[i + 1]))
                units = 2;
            char bytes[kMaxCharBytes];
            const int count = WideCharToMultiByte(CP_ACP, 0, text + i, static_cast<int>(units), bytes,
                                                  kMaxCharBytes, nullptr, nullptr);
            if (count <= 0 || produced + static_cast<DWORD>(count) > capacity - 1)
                break;
            std::memcpy(out + produced, bytes, static_cast<size_t>(count));
            produced += static_cast<DWORD>(count);
            i += units;
        }
    }
    out[produced] = '\0';
    return produced;
}

} // namespace klv
