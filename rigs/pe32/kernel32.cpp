// The system calls the images make. The emulated process has one thread,
// so locks and semaphores only keep count; a wait that would block forever
// stops the program loudly instead.
#include "api.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <iterator>
#include <string>

namespace pe32::kernel32 {

namespace {

constexpr DWORD kErrorInvalidHandle = 6;
constexpr DWORD kErrorInvalidParameter = 87;
constexpr DWORD kErrorInsufficientBuffer = 122;
constexpr DWORD kErrorNoUnicodeTranslation = 1113;
constexpr DWORD kErrorResourceTypeNotFound = 1813;
constexpr DWORD kErrorProcNotFound = 127;
constexpr DWORD kErrorEnvVarNotFound = 203;
constexpr DWORD kDebugPrintException = 0x40010006;
constexpr LONG kExceptionContinueExecution = -1;
constexpr DWORD kWaitObject0 = 0;
constexpr DWORD kWaitTimeout = 0x102;
constexpr DWORD kTlsOutOfIndexes = 0xFFFFFFFF;
constexpr DWORD kPageExecuteReadWrite = 0x40;
constexpr UINT kCodePageAnsi = 0;
constexpr UINT kCodePage1252 = 1252;
constexpr UINT kCodePageUtf8 = 65001;

struct Semaphore {
    LONG count;
    LONG maximum;
};

// Code page 1252 differs from Latin-1 only in 0x80-0x9F; the five unused
// bytes of that row map to the same-valued control characters.
constexpr char16_t k1252Row80[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

char16_t From1252(unsigned char byte) {
    return byte >= 0x80 && byte < 0xA0 ? k1252Row80[byte - 0x80] : static_cast<char16_t>(byte);
}

// The byte for a UTF-16 unit in code page 1252, or -1 when it has none.
int To1252(char16_t unit) {
    if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF))
        return unit;
    for (int i = 0; i < 32; ++i)
        if (k1252Row80[i] == unit)
            return 0x80 + i;
    return -1;
}

bool Supported(UINT codePage) {
    return codePage == kCodePageAnsi || codePage == kCodePage1252 || codePage == kCodePageUtf8;
}

// Decodes UTF-8 into `out`; false on an ill-formed sequence.
bool DecodeUtf8(const unsigned char* in, int length, std::u16string& out) {
    for (int i = 0; i < length;) {
        unsigned c = in[i];
        int extra = c < 0x80             ? 0
                    : (c & 0xE0) == 0xC0 ? 1
                    : (c & 0xF0) == 0xE0 ? 2
                    : (c & 0xF8) == 0xF0 ? 3
                                         : -1;
        if (extra < 0 || i + extra >= length + (extra == 0 ? 1 : 0))
            return false;
        if (extra > 0)
            c &= 0x3F >> extra;
        for (int k = 1; k <= extra; ++k) {
            if ((in[i + k] & 0xC0) != 0x80)
                return false;
            c = (c << 6) | (in[i + k] & 0x3F);
        }
        i += extra + 1;
        if (c >= 0x10000) {
            c -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(c));
        }
    }
    return true;
}

void EncodeUtf8(const char16_t* in, int length, std::string& out) {
    for (int i = 0; i < length; ++i) {
        unsigned c = in[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < length && in[i + 1] >= 0xDC00 && in[i + 1] < 0xE000)
            c = 0x10000 + ((c - 0xD800) << 10) + (in[++i] - 0xDC00);
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else if (c < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (c >> 12)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (c >> 18)));
            out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
}

std::string Narrow(const WCHAR* name) {
    std::string out;
    for (; *name != 0; ++name)
        out.push_back(static_cast<char>(*name));
    return out;
}

Image* ImageOf(void* module) {
    return module == nullptr ? MainImage() : ModuleAt(module);
}

std::uint32_t gTlsInUse[kTlsSlots / 32];

} // namespace

void PE32_WINAPI AcquireSRWLockExclusive(void*) {
}
void PE32_WINAPI ReleaseSRWLockExclusive(void*) {
}
void PE32_WINAPI InitializeCriticalSection(void* section) {
    std::memset(section, 0, 24);
}
void PE32_WINAPI DeleteCriticalSection(void*) {
}
void PE32_WINAPI EnterCriticalSection(void*) {
}
void PE32_WINAPI LeaveCriticalSection(void*) {
}

HANDLE PE32_WINAPI CreateSemaphoreW(void*, LONG initial, LONG maximum, const WCHAR*) {
    if (initial < 0 || maximum <= 0 || initial > maximum) {
        pe32::SetLastError(kErrorInvalidParameter);
        return nullptr;
    }
    return new Semaphore{initial, maximum};
}

BOOL PE32_WINAPI ReleaseSemaphore(HANDLE handle, LONG count, LONG* previous) {
    auto* semaphore = static_cast<Semaphore*>(handle);
    if (semaphore == nullptr || count <= 0 || semaphore->count + count > semaphore->maximum) {
        pe32::SetLastError(kErrorInvalidParameter);
        return 0;
    }
    if (previous != nullptr)
        *previous = semaphore->count;
    semaphore->count += count;
    return 1;
}

DWORD PE32_WINAPI WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
    auto* semaphore = static_cast<Semaphore*>(handle);
    if (semaphore != nullptr && semaphore->count > 0) {
        --semaphore->count;
        return kWaitObject0;
    }
    if (milliseconds != 0xFFFFFFFF)
        return kWaitTimeout;
    std::fprintf(stderr, "pe32: WaitForSingleObject would wait forever on the only thread\n");
    std::exit(125);
}

BOOL PE32_WINAPI CloseHandle(HANDLE handle) {
    if (handle == nullptr) {
        pe32::SetLastError(kErrorInvalidHandle);
        return 0;
    }
    delete static_cast<Semaphore*>(handle);
    return 1;
}

void* PE32_WINAPI FindResourceW(void* module, const WCHAR* name, const WCHAR* type) {
    Image* image = ImageOf(module);
    const pe::ResourceDataEntry* entry = image == nullptr ? nullptr : image->FindResource(name, type);
    if (entry == nullptr)
        pe32::SetLastError(kErrorResourceTypeNotFound);
    return const_cast<pe::ResourceDataEntry*>(entry);
}

void* PE32_WINAPI LoadResource(void* module, void* resource) {
    Image* image = ImageOf(module);
    if (image == nullptr || resource == nullptr)
        return nullptr;
    return image->ResourceData(static_cast<const pe::ResourceDataEntry*>(resource));
}

void* PE32_WINAPI LockResource(void* data) {
    return data;
}

DWORD PE32_WINAPI SizeofResource(void* module, void* resource) {
    if (ImageOf(module) == nullptr || resource == nullptr)
        return 0;
    return static_cast<const pe::ResourceDataEntry*>(resource)->Size;
}

void* PE32_WINAPI LoadLibraryA(const char* name) {
    Image* image = name == nullptr ? nullptr : LoadModule(name);
    return image == nullptr ? nullptr : image->base();
}

void* PE32_WINAPI LoadLibraryW(const WCHAR* name) {
    return name == nullptr ? nullptr : LoadLibraryA(Narrow(name).c_str());
}

BOOL PE32_WINAPI FreeLibrary(void* module) {
    Image* image = ModuleAt(module);
    if (image == nullptr || !FreeModule(image)) {
        pe32::SetLastError(kErrorInvalidHandle);
        return 0;
    }
    return 1;
}

void* PE32_WINAPI GetModuleHandleA(const char* name) {
    Image* image = name == nullptr ? MainImage() : FindModule(name);
    if (image == nullptr) {
        pe32::SetLastError(126);
        return nullptr;
    }
    return image->base();
}

void* PE32_WINAPI GetModuleHandleW(const WCHAR* name) {
    return name == nullptr ? GetModuleHandleA(nullptr) : GetModuleHandleA(Narrow(name).c_str());
}

void* PE32_WINAPI GetProcAddress(void* module, const char* name) {
    Image* image = ModuleAt(module);
    void* address = nullptr;
    if (image != nullptr) {
        const auto value = reinterpret_cast<std::uintptr_t>(name);
        address =
            value < 0x10000 ? image->Export(nullptr, static_cast<unsigned>(value)) : image->Export(name);
    }
    if (address == nullptr)
        pe32::SetLastError(image == nullptr ? kErrorInvalidHandle : kErrorProcNotFound);
    return address;
}

DWORD PE32_WINAPI GetCurrentThreadId() {
    return 1;
}

DWORD PE32_WINAPI GetLastError() {
    return pe32::LastError();
}

void PE32_WINAPI SetLastError(DWORD error) {
    pe32::SetLastError(error);
}

void PE32_WINAPI GetStartupInfoA(void* info) {
    std::memset(info, 0, 68);
    const DWORD size = 68;
    std::memcpy(info, &size, 4);
}

BOOL PE32_WINAPI IsDBCSLeadByteEx(UINT, std::uint8_t) {
    return 0; // the code pages provided are single-byte or UTF-8
}

int PE32_WINAPI MultiByteToWideChar(UINT codePage, DWORD, const char* source, int sourceLength, WCHAR* target,
                                    int targetLength) {
    if (!Supported(codePage) || source == nullptr || targetLength < 0 || sourceLength == 0 ||
        (targetLength > 0 && target == nullptr)) {
        pe32::SetLastError(kErrorInvalidParameter);
        return 0;
    }
    const int length = sourceLength < 0 ? static_cast<int>(std::strlen(source)) + 1 : sourceLength;
    std::u16string wide;
    const auto* bytes = reinterpret_cast<const unsigned char*>(source);
    if (codePage == kCodePageUtf8) {
        if (!DecodeUtf8(bytes, length, wide)) {
            pe32::SetLastError(kErrorNoUnicodeTranslation);
            return 0;
        }
    } else {
        for (int i = 0; i < length; ++i)
            wide.push_back(From1252(bytes[i]));
    }
    const int needed = static_cast<int>(wide.size());
    if (targetLength == 0)
        return needed;
    if (needed > targetLength) {
        pe32::SetLastError(kErrorInsufficientBuffer);
        return 0;
    }
    std::memcpy(target, wide.data(), wide.size() * sizeof(WCHAR));
    return needed;
}

int PE32_WINAPI WideCharToMultiByte(UINT codePage, DWORD, const WCHAR* source, int sourceLength, char* target,
                                    int targetLength, const char* defaultChar, BOOL* usedDefault) {
    if (!Supported(codePage) || source == nullptr || targetLength < 0 || sourceLength == 0 ||
        (targetLength > 0 && target == nullptr) ||
        (codePage == kCodePageUtf8 && (defaultChar != nullptr || usedDefault != nullptr))) {
        pe32::SetLastError(kErrorInvalidParameter);
        return 0;
    }
    int length = sourceLength;
    if (length < 0) {
        length = 0;
        while (source[length] != 0)
            ++length;
        ++length;
    }
    std::string narrow;
    bool defaulted = false;
    if (codePage == kCodePageUtf8) {
        EncodeUtf8(source, length, narrow);
    } else {
        for (int i = 0; i < length; ++i) {
            const int byte = To1252(source[i]);
            if (byte < 0) {
                narrow.push_back(defaultChar != nullptr ? *defaultChar : '?');
                defaulted = true;
            } else {
                narrow.push_back(static_cast<char>(byte));
            }
        }
    }
    if (usedDefault != nullptr)
        *usedDefault = defaulted ? 1 : 0;
    const int needed = static_cast<int>(narrow.size());
    if (targetLength == 0)
        return needed;
    if (needed > targetLength) {
        pe32::SetLastError(kErrorInsufficientBuffer);
        return 0;
    }
    std::memcpy(target, narrow.data(), narrow.size());
    return needed;
}

void* PE32_WINAPI SetUnhandledExceptionFilter(void* filter) {
    static void* current = nullptr;
    void* previous = current;
    current = filter;
    return previous;
}

// The process environment is the loader's own: the images read and set it
// through these two calls, and it starts as the one qemu was given.
DWORD PE32_WINAPI GetEnvironmentVariableA(const char* name, char* buffer, DWORD size) {
    const char* value = std::getenv(name);
    if (value == nullptr) {
        pe32::SetLastError(kErrorEnvVarNotFound);
        return 0;
    }
    const DWORD length = static_cast<DWORD>(std::strlen(value));
    if (buffer == nullptr || length >= size)
        return length + 1; // the size needed, terminator included
    std::memcpy(buffer, value, length + 1);
    return length;
}

BOOL PE32_WINAPI SetEnvironmentVariableA(const char* name, const char* value) {
    const int status = value != nullptr ? setenv(name, value, 1) : unsetenv(name);
    if (status != 0) {
        pe32::SetLastError(kErrorInvalidParameter);
        return 0;
    }
    return 1;
}

namespace {

// The records a vectored handler receives, at their 32-bit layout.
struct ExceptionRecord {
    DWORD code;
    DWORD flags;
    ExceptionRecord* next;
    void* address;
    DWORD parameterCount;
    std::uint32_t information[15];
};
struct ExceptionPointers {
    ExceptionRecord* record;
    void* context;
};
using VectoredHandler = LONG(PE32_WINAPI*)(ExceptionPointers*);

VectoredHandler gVectoredHandlers[8];
unsigned gVectoredHandlerCount = 0;

} // namespace

void* PE32_WINAPI AddVectoredExceptionHandler(DWORD first, void* handler) {
    if (gVectoredHandlerCount == std::size(gVectoredHandlers)) {
        std::fprintf(stderr, "pe32: more than %zu vectored exception handlers\n",
                     std::size(gVectoredHandlers));
        std::exit(125);
    }
    VectoredHandler added = reinterpret_cast<VectoredHandler>(handler);
    if (first != 0) {
        std::memmove(&gVectoredHandlers[1], &gVectoredHandlers[0], gVectoredHandlerCount * sizeof added);
        gVectoredHandlers[0] = added;
    } else {
        gVectoredHandlers[gVectoredHandlerCount] = added;
    }
    ++gVectoredHandlerCount;
    return handler;
}

// Windows raises the debug-print exception, which vectored handlers see
// before a debugger would; without a handler that takes it, the text is
// dropped, as it is without a debugger.
void PE32_WINAPI OutputDebugStringA(const char* text) {
    ExceptionRecord record{};
    record.code = kDebugPrintException;
    record.parameterCount = 2;
    record.information[0] = static_cast<std::uint32_t>(std::strlen(text) + 1);
    record.information[1] = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(text));
    ExceptionPointers pointers{&record, nullptr};
    for (unsigned i = 0; i < gVectoredHandlerCount; ++i) {
        if (gVectoredHandlers[i](&pointers) == kExceptionContinueExecution)
            return;
    }
}

void PE32_WINAPI Sleep(DWORD milliseconds) {
    const timespec pause{static_cast<time_t>(milliseconds / 1000),
                         static_cast<long>(milliseconds % 1000) * 1000000};
    nanosleep(&pause, nullptr);
}

DWORD PE32_WINAPI TlsAlloc() {
    for (DWORD i = 0; i < kTlsSlots; ++i) {
        if ((gTlsInUse[i / 32] & (1u << (i % 32))) == 0) {
            gTlsInUse[i / 32] |= 1u << (i % 32);
            TlsSlots()[i] = nullptr;
            return i;
        }
    }
    return kTlsOutOfIndexes;
}

BOOL PE32_WINAPI TlsFree(DWORD index) {
    if (index >= kTlsSlots || (gTlsInUse[index / 32] & (1u << (index % 32))) == 0) {
        pe32::SetLastError(kErrorInvalidParameter);
        return 0;
    }
    gTlsInUse[index / 32] &= ~(1u << (index % 32));
    return 1;
}

void* PE32_WINAPI TlsGetValue(DWORD index) {
    if (index >= kTlsSlots) {
        pe32::SetLastError(kErrorInvalidParameter);
        return nullptr;
    }
    pe32::SetLastError(0); // callers tell a stored null from a failure this way
    return TlsSlots()[index];
}

BOOL PE32_WINAPI TlsSetValue(DWORD index, void* value) {
    if (index >= kTlsSlots) {
        pe32::SetLastError(kErrorInvalidParameter);
        return 0;
    }
    TlsSlots()[index] = value;
    return 1;
}

// Images are mapped readable, writable and executable as a whole, so a
// change of protection has nothing left to do.
BOOL PE32_WINAPI VirtualProtect(void*, std::uint32_t, DWORD, DWORD* old) {
    if (old == nullptr) {
        pe32::SetLastError(kErrorInvalidParameter);
        return 0;
    }
    *old = kPageExecuteReadWrite;
    return 1;
}

std::uint32_t PE32_WINAPI VirtualQuery(const void* address, void* information, std::uint32_t size) {
    struct BasicInformation {
        std::uint32_t baseAddress;
        std::uint32_t allocationBase;
        DWORD allocationProtect;
        std::uint32_t regionSize;
        DWORD state;
        DWORD protect;
        DWORD type;
    };
    constexpr DWORD kMemCommit = 0x1000;
    constexpr DWORD kMemImage = 0x1000000;
    if (size < sizeof(BasicInformation))
        return 0;
    constexpr DWORD kMemPrivate = 0x20000;
    const auto at = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(address));
    const std::uint32_t page = at & ~0xFFFu;
    BasicInformation basic{page,       page, kPageExecuteReadWrite, 0x1000, kMemCommit, kPageExecuteReadWrite,
                           kMemPrivate};
    if (Image* image = ModuleContaining(address); image != nullptr) {
        const auto base = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(image->base()));
        basic.allocationBase = base;
        basic.regionSize = base + image->size() - page;
        basic.type = kMemImage;
    }
    std::memcpy(information, &basic, sizeof(basic));
    return sizeof(basic);
}

} // namespace pe32::kernel32
