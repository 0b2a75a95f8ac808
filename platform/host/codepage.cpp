// WideCharToMultiByte on other hosts, through iconv. Characters the ANSI
// code page cannot represent become '?', as on Windows; a buffer that is too
// small receives whole characters only.
#include "platform/host/host.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iconv.h>

namespace {

constexpr UINT kDefaultCodePage = 1252;
constexpr char kDefaultChar = '?';
constexpr int kMaxCharBytes = 8;

std::atomic<UINT> gAnsiCodePage{0};

iconv_t OpenConverter(UINT codePage) {
    for (const char* pattern : {"CP%u", "WINDOWS-%u"}) {
        char name[32];
        std::snprintf(name, sizeof(name), pattern, codePage);
        iconv_t cd = iconv_open(name, "UTF-16LE");
        if (cd != reinterpret_cast<iconv_t>(-1))
            return cd;
    }
    return reinterpret_cast<iconv_t>(-1);
}

// One converter per thread, reopened when the code page changes.
struct ThreadConverter {
    UINT codePage = 0;
    iconv_t cd = reinterpret_cast<iconv_t>(-1);

    ~ThreadConverter() {
        if (cd != reinterpret_cast<iconv_t>(-1))
            iconv_close(cd);
    }

    iconv_t For(UINT wanted) {
        if (codePage != wanted) {
            if (cd != reinterpret_cast<iconv_t>(-1))
                iconv_close(cd);
            cd = OpenConverter(wanted);
            codePage = wanted;
        }
        return cd;
    }
};

thread_local ThreadConverter tConverter;

UINT CodePageFromEnvironment() {
    const char* value = std::getenv("KLVPS_ANSI_CODEPAGE");
    if (value == nullptr || *value == '\0')
        return kDefaultCodePage;
    char* end = nullptr;
    const unsigned long number = std::strtoul(value, &end, 10);
    if (*end != '\0' || number == 0 || number > 65535)
        return kDefaultCodePage;
    return static_cast<UINT>(number);
}

// Converts one character (one or two UTF-16 units) into out; returns its
// byte count, or 0 when the code page has no such character.
int ConvertChar(iconv_t cd, const WCHAR* units, int unitCount, char* out) {
    char in[4];
    std::memcpy(in, units, static_cast<size_t>(unitCount) * 2);
    char* inPtr = in;
    size_t inLeft = static_cast<size_t>(unitCount) * 2;
    char* outPtr = out;
    size_t outLeft = kMaxCharBytes;
    if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1) || inLeft != 0) {
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        return 0;
    }
    return static_cast<int>(kMaxCharBytes - outLeft);
}

bool IsHighSurrogate(WCHAR u) {
    return u >= 0xD800 && u <= 0xDBFF;
}
bool IsLowSurrogate(WCHAR u) {
    return u >= 0xDC00 && u <= 0xDFFF;
}

} // namespace

namespace klv::host {

bool SetAnsiCodePage(UINT codePage) {
    iconv_t cd = OpenConverter(codePage);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return false;
    iconv_close(cd);
    gAnsiCodePage.store(codePage);
    return true;
}

UINT AnsiCodePage() {
    UINT codePage = gAnsiCodePage.load();
    if (codePage == 0) {
        codePage = CodePageFromEnvironment();
        gAnsiCodePage.store(codePage);
    }
    return codePage;
}

} // namespace klv::host

int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWCH wide, int wideCount, LPSTR multi, int multiSize,
                        LPCCH defaultChar, LPBOOL usedDefaultChar) {
    (void)flags;
    if (wide == nullptr || wideCount == 0 || wideCount < -1 || multiSize < 0 ||
        (multiSize > 0 && multi == nullptr)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const UINT target = codePage == CP_ACP ? klv::host::AnsiCodePage() : codePage;
    iconv_t cd = tConverter.For(target);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const char fallback = defaultChar != nullptr ? *defaultChar : kDefaultChar;
    if (usedDefaultChar != nullptr)
        *usedDefaultChar = FALSE;

    int length = wideCount;
    if (length == -1) {
        length = 0;
        while (wide[length] != 0)
            ++length;
        ++length; // the terminator is converted too
    }

    int produced = 0;
    for (int i = 0; i < length;) {
        char bytes[kMaxCharBytes];
        int units = 1;
        if (IsHighSurrogate(wide[i]) && i + 1 < length && IsLowSurrogate(wide[i + 1]))
            units = 2;
        int count = 0;
        if (wide[i] == 0) {
            bytes[0] = '\0';
            count = 1;
        } else {
            count = ConvertChar(cd, wide + i, units, bytes);
        }
        if (count == 0) {
            bytes[0] = fallback;
            count = 1;
            if (usedDefaultChar != nullptr)
                *usedDefaultChar = TRUE;
        }
        if (multiSize > 0) {
            if (produced + count > multiSize) {
                SetLastError(ERROR_INSUFFICIENT_BUFFER);
                return 0;
            }
            std::memcpy(multi + produced, bytes, static_cast<size_t>(count));
        }
        produced += count;
        i += units;
    }
    return produced;
}
