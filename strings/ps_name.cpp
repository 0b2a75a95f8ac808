// PostScript names from wide text, one character of the ANSI code page at a
// time.
#include "strings/ps_name.h"

#include "strings/ansi.h"

#include <cstring>

namespace klv {

namespace {

// One character of name: one unit, or two for a surrogate pair.
DWORD CharUnits(const WCHAR* name, DWORD at, DWORD maxUnits) {
    return IsHighSurrogate(name[at]) && at + 1 < maxUnits && IsLowSurrogate(name[at + 1]) ? 2 : 1;
}

bool AllNameBytes(const char* bytes, int count) {
    for (int i = 0; i < count; ++i)
        if (!IsPsNameByte(static_cast<unsigned char>(bytes[i])))
            return false;
    return true;
}

} // namespace

DWORD PsNameFromWide(char* out, DWORD capacity, const WCHAR* name, DWORD maxUnits) {
    if (out == nullptr || capacity == 0)
        return 0;
    DWORD length = 0;
    for (DWORD i = 0; name != nullptr && i < maxUnits && name[i] != 0;) {
        const DWORD units = CharUnits(name, i, maxUnits);
        char bytes[kMaxCharBytes];
        const int count = WideCharToMultiByte(CP_ACP, 0, name + i, static_cast<int>(units), bytes,
                                              kMaxCharBytes, nullptr, nullptr);
        i += units;
        if (count > 0 && !AllNameBytes(bytes, count))
            continue;
        if (count <= 0 || length + static_cast<DWORD>(count) > capacity - 1)
            break;
        std::memcpy(out + length, bytes, static_cast<size_t>(count));
        length += static_cast<DWORD>(count);
    }
    out[length] = '\0';
    return length;
}

bool IsWholePsName(const WCHAR* name, DWORD maxUnits) {
    if (name == nullptr || maxUnits == 0 || name[0] == 0)
        return false;
    for (DWORD i = 0; i < maxUnits && name[i] != 0;) {
        const DWORD units = CharUnits(name, i, maxUnits);
        char bytes[kMaxCharBytes];
        BOOL replaced = FALSE;
        const int count = WideCharToMultiByte(CP_ACP, 0, name + i, static_cast<int>(units), bytes,
                                              kMaxCharBytes, nullptr, &replaced);
        if (count <= 0 || replaced || !AllNameBytes(bytes, count))
            return false;
        i += units;
    }
    return true;
}

} // namespace klv
