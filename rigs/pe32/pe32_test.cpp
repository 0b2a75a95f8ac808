// Checks of the loader's own functions: code page conversions, the import
// table, thread-local slots, semaphores and refusing what is not a PE32
// image. Prints one line per failure and a closing count.
#include "api.h"
#include "image.h"
#include "imports.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

int gPassed = 0;
int gFailed = 0;

void Check(bool condition, const std::string& what) {
    if (condition) {
        ++gPassed;
        return;
    }
    ++gFailed;
    std::printf("pe32_test: failed: %s\n", what.c_str());
}

using namespace pe32;

constexpr DWORD kErrorInvalidParameter = 87;
constexpr DWORD kErrorInsufficientBuffer = 122;
constexpr DWORD kErrorNoUnicodeTranslation = 1113;

void TestMultiByteToWide() {
    struct Case {
        const char* what;
        UINT codePage;
        std::string bytes;
        int capacity;
        int result;
        std::u16string wide;
        DWORD error;
    };
    const Case cases[] = {
        {"1252 row 0x80", 1252, "\x80\x9F\x81", 8, 3, u"\u20AC\u0178\u0081", 0},
        {"1252 Latin-1 half", 1252,
         "\xA0\xE9"
         "A",
         8, 3, u"\u00A0\u00E9A", 0},
        {"ANSI code page is 1252", 0, "\x80", 8, 1, u"\u20AC", 0},
        {"UTF-8", 65001, "\xC3\xA9\xE2\x82\xAC", 8, 2, u"\u00E9\u20AC", 0},
        {"UTF-8 beyond the basic plane", 65001, "\xF0\x9F\x98\x80", 8, 2, u"\U0001F600", 0},
        {"size query", 1252, "abc", 0, 3, u"", 0},
        {"target too small", 1252, "abc", 2, 0, u"", kErrorInsufficientBuffer},
        {"ill-formed UTF-8", 65001, "\xC3(", 8, 0, u"", kErrorNoUnicodeTranslation},
        {"truncated UTF-8", 65001, "\xE2\x82", 8, 0, u"", kErrorNoUnicodeTranslation},
        {"unsupported code page", 437, "a", 8, 0, u"", kErrorInvalidParameter},
    };
    for (const Case& c : cases) {
        char16_t out[8] = {};
        SetLastError(0);
        const int result =
            kernel32::MultiByteToWideChar(c.codePage, 0, c.bytes.data(), static_cast<int>(c.bytes.size()),
                                          c.capacity == 0 ? nullptr : out, c.capacity);
        Check(result == c.result, std::string("MultiByteToWideChar ") + c.what + ": result");
        if (c.result > 0 && c.capacity > 0)
            Check(std::u16string(out, static_cast<std::size_t>(result)) == c.wide,
                  std::string("MultiByteToWideChar ") + c.what + ": units");
        Check(c.error == 0 || LastError() == c.error,
              std::string("MultiByteToWideChar ") + c.what + ": error");
    }
    char16_t out[8] = {};
    Check(kernel32::MultiByteToWideChar(1252, 0, "ab", -1, out, 8) == 3 && out[2] == 0,
          "MultiByteToWideChar counts the terminator of a terminated string");
}

void TestWideToMultiByte() {
    struct Case {
        const char* what;
        UINT codePage;
        std::u16string wide;
        const char* defaultChar;
        int result;
        std::string bytes;
        BOOL usedDefault;
    };
    const Case cases[] = {
        {"1252 row 0x80", 1252, u"\u20AC\u2122\u0178", nullptr, 3, "\x80\x99\x9F", 0},
        {"Latin-1 letters", 1252, u"\u00E9\u00FF", nullptr, 2, "\xE9\xFF", 0},
        {"no 1252 byte", 1252, u"x\u0100", nullptr, 2, "x?", 1},
        {"caller's default", 1252, u"\u4E00", "#", 1, "#", 1},
        {"UTF-8 surrogate pair", 65001, u"\U0001F600", nullptr, 4, "\xF0\x9F\x98\x80", 0},
    };
    for (const Case& c : cases) {
        char out[8] = {};
        BOOL usedDefault = -1;
        const int result =
            kernel32::WideCharToMultiByte(c.codePage, 0, c.wide.data(), static_cast<int>(c.wide.size()), out,
                                          8, c.defaultChar, c.codePage == 65001 ? nullptr : &usedDefault);
        Check(result == c.result &&
                  std::string(out, static_cast<std::size_t>(result > 0 ? result : 0)) == c.bytes,
              std::string("WideCharToMultiByte ") + c.what);
        if (c.codePage != 65001)
            Check(usedDefault == c.usedDefault,
                  std::string("WideCharToMultiByte ") + c.what + ": default used");
    }
    char small[1];
    SetLastError(0);
    Check(kernel32::WideCharToMultiByte(1252, 0, u"ab", 2, small, 1, nullptr, nullptr) == 0 &&
              LastError() == kErrorInsufficientBuffer,
          "WideCharToMultiByte reports a short target");
}

void TestImportTable() {
    struct Case {
        const char* dll;
        const char* name;
        bool provided;
    };
    const Case cases[] = {
        {"KERNEL32.dll", "GetLastError", true}, {"kernel32.DLL", "WideCharToMultiByte", true},
        {"msvcrt.dll", "_iob", true},           {"msvcrt.dll", "fopen", true},
        {"WINSPOOL.DRV", "GetJobW", true},      {"KERNEL32.dll", "GetTickCount", false},
        {"msvcrt.dll", "GetLastError", false},
    };
    for (const Case& c : cases)
        Check((FindBuiltInImport(c.dll, c.name) != nullptr) == c.provided,
              std::string("import ") + c.dll + "!" + c.name);
    Check(IsBuiltInDll("winspool.drv") && !IsBuiltInDll("klvps.dll"), "built-in libraries by name");
    Check(msvcrt::Wcslen(u"abc\u00E9") == 4, "wcslen counts 16-bit units");
}

void TestThreadSlotsAndSemaphores() {
    const DWORD slot = kernel32::TlsAlloc();
    int marker = 0;
    SetLastError(5);
    Check(slot < kTlsSlots && kernel32::TlsGetValue(slot) == nullptr && LastError() == 0,
          "a new slot holds null and clears the last error");
    Check(kernel32::TlsSetValue(slot, &marker) && kernel32::TlsGetValue(slot) == &marker,
          "slot keeps its value");
    Check(kernel32::TlsFree(slot) && !kernel32::TlsFree(slot), "a slot is freed once");

    HANDLE semaphore = kernel32::CreateSemaphoreW(nullptr, 1, 2, nullptr);
    LONG previous = -1;
    Check(kernel32::WaitForSingleObject(semaphore, 0xFFFFFFFF) == 0, "semaphore taken");
    Check(kernel32::WaitForSingleObject(semaphore, 0) == 0x102, "empty semaphore times out");
    Check(kernel32::ReleaseSemaphore(semaphore, 1, &previous) && previous == 0, "semaphore released");
    Check(!kernel32::ReleaseSemaphore(semaphore, 2, nullptr), "semaphore refuses to pass its maximum");
    Check(kernel32::CloseHandle(semaphore), "semaphore closed");
}

void TestRefusedImages() {
    struct Case {
        const char* what;
        std::string bytes;
        const char* message;
    };
    std::string notX86(512, '\0');
    notX86[0] = 'M';
    notX86[1] = 'Z';
    notX86[60] = 64;
    notX86.replace(64, 6, std::string("PE\0\0\x64\x86", 6)); // x86-64
    const Case cases[] = {
        {"empty", "", "too short for a DOS header"},
        {"text", std::string(200, 'x'), "not a PE image"},
        {"64-bit image", notX86, "not a 32-bit x86 PE image"},
    };
    for (const Case& c : cases) {
        const std::string path = "/tmp/pe32_test_image.bin";
        std::ofstream(path, std::ios::binary) << c.bytes;
        std::string error;
        const bool refused = Image::Map(path, false, error) == nullptr;
        Check(refused && error.find(c.message) != std::string::npos,
              std::string("refuses ") + c.what + " (" + error + ")");
        std::remove(path.c_str());
    }
    std::string error;
    Check(Image::Map("/nonexistent/x.dll", false, error) == nullptr &&
              error.find("cannot be opened") != std::string::npos,
          "missing file");
}

// The runtime's files: opened with the runtime's mode letters and either
// separator, written through the runtime's calls, closed once.
void TestFiles() {
    struct Case {
        const char* what;
        const char* mode;
        const char* directory; // where the file is opened from
        bool opens;
    };
    const Case cases[] = {
        {"binary write", "wb", "/tmp/", true},
        {"text and commit flags", "wtc", "/tmp/", true},
        {"backslash separator", "w+b", "\\tmp\\", true},
        {"missing directory", "wb", "/nonexistent/", false},
    };
    for (const Case& c : cases) {
        const std::string name = "pe32_test_file.txt";
        const std::string path = std::string(c.directory) + name;
        CrtFile* file = msvcrt::Fopen(path.c_str(), c.mode);
        Check((file != nullptr) == c.opens, std::string("fopen: ") + c.what);
        if (file == nullptr)
            continue;
        const bool written = msvcrt::Fwrite("ab\n", 1, 3, file) == 3 && msvcrt::Fputs("cd", file) >= 0 &&
                             msvcrt::Fputc('e', file) == 'e';
        Check(written && msvcrt::Fclose(file) == 0, std::string("written and closed: ") + c.what);
        std::ifstream in("/tmp/" + name, std::ios::binary);
        const std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        Check(content == "ab\ncde", std::string("bytes kept as written: ") + c.what);
        std::remove(("/tmp/" + name).c_str());
    }
    CrtFile* file = msvcrt::Fopen("/tmp/pe32_test_twice.txt", "wb");
    Check(file != nullptr && msvcrt::Fclose(file) == 0 && msvcrt::Fclose(file) == -1,
          "a file is closed once");
    std::remove("/tmp/pe32_test_twice.txt");
}

} // namespace

int main() {
    TestMultiByteToWide();
    TestWideToMultiByte();
    TestImportTable();
    TestThreadSlotsAndSemaphores();
    TestRefusedImages();
    TestFiles();
    std::printf("pe32_test: %d passed, %d failed\n", gPassed, gFailed);
    return gFailed == 0 ? 0 : 1;
}
