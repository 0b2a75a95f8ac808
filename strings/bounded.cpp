// Bounded operations on zero-terminated strings in fixed-size buffers.
#include "strings/bounded.h"

#include <cstdio>

namespace klv {

namespace {

// Copies at most capacity characters, testing for the source's terminator
// before each one; a copy that fills the capacity loses its last character
// to the terminator.
template <typename Char> HRESULT CopyUnits(Char* destination, DWORD capacity, const Char* source) {
    DWORD i = 0;
    while (i < capacity && source[i] != 0) {
        destination[i] = source[i];
        ++i;
    }
    if (i < capacity) {
        destination[i] = 0;
        return S_OK;
    }
    destination[capacity - 1] = 0;
    return STRSAFE_E_INSUFFICIENT_BUFFER;
}

bool CapacityAccepted(DWORD capacity) {
    return capacity != 0 && capacity <= STRSAFE_MAX_CCH;
}

} // namespace

HRESULT BoundedCopy(char* destination, DWORD capacity, const char* source) {
    if (!CapacityAccepted(capacity))
        return E_INVALIDARG;
    return CopyUnits(destination, capacity, source);
}

HRESULT BoundedCopyWide(WCHAR* destination, DWORD capacity, const WCHAR* source) {
    if (!CapacityAccepted(capacity))
        return E_INVALIDARG;
    return CopyUnits(destination, capacity, source);
}

HRESULT BoundedLength(const char* text, DWORD capacity, DWORD* length) {
    if (!CapacityAccepted(capacity))
        return E_INVALIDARG;
    for (DWORD k = 0; k < capacity; ++k) {
        if (text[k] == '\0') {
            if (length != nullptr)
                *length = k;
            return S_OK;
        }
    }
    return E_INVALIDARG;
}

HRESULT BoundedAppend(char* destination, DWORD capacity, const char* source) {
    DWORD length = 0;
    const HRESULT result = BoundedLength(destination, capacity, &length);
    if (FAILED(result))
        return result;
    return BoundedCopy(destination + length, capacity - length, source);
}

HRESULT BoundedFormat(char* destination, DWORD capacity, const char* format, ...) {
    if (capacity > STRSAFE_MAX_CCH)
        return E_INVALIDARG;
    va_list arguments;
    va_start(arguments, format);
    const HRESULT result = BoundedFormatV(destination, capacity, format, arguments);
    va_end(arguments);
    return result;
}

HRESULT BoundedFormatV(char* destination, DWORD capacity, const char* format, va_list arguments) {
    if (!CapacityAccepted(capacity))
        return E_INVALIDARG;
    // vsnprintf writes at most capacity - 1 characters and a terminator. The
    // last slot is terminated again when the text filled it or the engine
    // failed, so the destination always ends up terminated.
    const int written = std::vsnprintf(destination, capacity, format, arguments);
    if (written < 0) {
        destination[capacity - 1] = '\0';
        return STRSAFE_E_INSUFFICIENT_BUFFER;
    }
    if (static_cast<DWORD>(written) >= capacity - 1)
        destination[capacity - 1] = '\0';
    return static_cast<DWORD>(written) > capacity - 1 ? STRSAFE_E_INSUFFICIENT_BUFFER : S_OK;
}

} // namespace klv
