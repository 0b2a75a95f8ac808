// The C runtime calls the images make, cdecl as the runtime exports them.
// Each is a small function of the loader's own rather than the host C
// library's symbol: the images call with the stack only 4-byte aligned and
// with the runtime's own FILE, locale and wide-character conventions.
#include "api.h"

#include <unistd.h>

#include <cerrno>
#include <clocale>
#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace pe32::msvcrt {

CrtFile iob[3];
char** initenv = nullptr;
int mbCurMax = 1;

namespace {

int gCommode = 0;
int gFmode = 0;
char* gCommandLine = nullptr;
std::vector<char*> gArguments;
std::vector<char*> gEnvironment;

// Files the program opened: the runtime record it holds, and the host
// stream behind it.
std::map<CrtFile*, std::unique_ptr<CrtFile>> gOpenedRecords;
std::map<CrtFile*, FILE*> gOpenedStreams;

// The host stream behind one of the runtime's standard streams or a file
// the program opened.
FILE* HostStream(CrtFile* file) {
    if (file == &iob[1])
        return stdout;
    if (file == &iob[2])
        return stderr;
    const auto opened = gOpenedStreams.find(file);
    if (opened != gOpenedStreams.end())
        return opened->second;
    std::fprintf(
        stderr, "pe32: a C runtime call wrote to a stream that is neither stdout, stderr nor an open file\n");
    std::exit(125);
}

// The runtime's decimal point, thousands separator and grouping come first
// in its locale record, as in every C library's.
struct CrtLconv {
    const char* decimalPoint;
    const char* thousandsSeparator;
    const char* grouping;
    const char* rest[7];
    char numbers[8];
};
CrtLconv gLconv{".", "", "", {"", "", "", "", "", "", ""}, {127, 127, 127, 127, 127, 127, 127, 127}};

} // namespace

void SetProgramArguments(const std::vector<std::string>& arguments) {
    std::string line;
    for (const std::string& argument : arguments) {
        gArguments.push_back(strdup(argument.c_str()));
        line += (line.empty() ? "" : " ") + argument;
    }
    gArguments.push_back(nullptr);
    gCommandLine = strdup(line.c_str());
    for (char** variable = environ; *variable != nullptr; ++variable)
        gEnvironment.push_back(*variable);
    gEnvironment.push_back(nullptr);
    initenv = gEnvironment.data();
}

int GetMainArgs(int* argc, char*** argv, char*** env, int, void*) {
    *argc = static_cast<int>(gArguments.size()) - 1;
    *argv = gArguments.data();
    *env = gEnvironment.data();
    return 0;
}

char** AcmdlnPointer() {
    return &gCommandLine;
}
int* CommodePointer() {
    return &gCommode;
}
int* FmodePointer() {
    return &gFmode;
}
void SetAppType(int) {
}
void SetUserMathErr(void*) {
}

void AmsgExit(int code) {
    std::fprintf(stderr, "pe32: runtime error R60%02d\n", code);
    ExitProcess(255);
}

void Cexit() {
    RunExitHandlers();
}

void Exit(int status) {
    ExitProcess(status);
}

void Abort() {
    std::fprintf(stderr, "pe32: the program called abort\n");
    std::fflush(stdout);
    _exit(3);
}

int* Errno() {
    return &errno;
}

void InitTerm(void (**begin)(), void (**end)()) {
    for (; begin < end; ++begin)
        if (*begin != nullptr)
            (*begin)();
}

void Lock(int) {
}
void Unlock(int) {
}

void* OnExit(void (*handler)()) {
    RegisterExitHandler(handler);
    return reinterpret_cast<void*>(handler);
}

int Atoi(const char* text) {
    return std::atoi(text);
}
void* Calloc(std::uint32_t count, std::uint32_t size) {
    return std::calloc(count, size);
}
void* Malloc(std::uint32_t size) {
    return std::malloc(size);
}
void* Realloc(void* block, std::uint32_t size) {
    return std::realloc(block, size);
}
void Free(void* block) {
    std::free(block);
}
const void* Memchr(const void* block, int c, std::uint32_t size) {
    return std::memchr(block, c, size);
}
int Memcmp(const void* a, const void* b, std::uint32_t size) {
    return std::memcmp(a, b, size);
}
void* Memcpy(void* to, const void* from, std::uint32_t size) {
    return std::memcpy(to, from, size);
}
void* Memmove(void* to, const void* from, std::uint32_t size) {
    return std::memmove(to, from, size);
}
void* Memset(void* to, int c, std::uint32_t size) {
    return std::memset(to, c, size);
}
const char* Strchr(const char* text, int c) {
    return std::strchr(text, c);
}
int Strcmp(const char* a, const char* b) {
    return std::strcmp(a, b);
}
int Strncmp(const char* a, const char* b, std::uint32_t size) {
    return std::strncmp(a, b, size);
}
std::uint32_t Strlen(const char* text) {
    return static_cast<std::uint32_t>(std::strlen(text));
}
char* Strerror(int error) {
    return std::strerror(error);
}

// The runtime's wide characters are 16-bit units.
std::uint32_t Wcslen(const WCHAR* text) {
    std::uint32_t length = 0;
    while (text[length] != 0)
        ++length;
    return length;
}

WCHAR* Wcsncpy(WCHAR* to, const WCHAR* from, std::uint32_t size) {
    std::uint32_t i = 0;
    for (; i < size && from[i] != 0; ++i)
        to[i] = from[i];
    for (; i < size; ++i)
        to[i] = 0;
    return to;
}

// The "C" locale, the only one the loader has.
int Tolower(int c) {
    return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c;
}

int Fputc(int c, CrtFile* file) {
    return std::fputc(c, HostStream(file));
}
int Fputs(const char* text, CrtFile* file) {
    return std::fputs(text, HostStream(file));
}
int Puts(const char* text) {
    return std::puts(text);
}

CrtFile* Fopen(const char* path, const char* mode) {
    // Both separators name directories; the host knows only '/'.
    std::string hostPath = path;
    for (char& c : hostPath)
        if (c == '\\')
            c = '/';
    // The runtime's text and commit flags have no host meaning: files are
    // opened as binary, which is what the loader's programs write.
    std::string hostMode;
    for (const char* m = mode; *m != 0 && *m != ','; ++m)
        if (std::strchr("rwa+", *m) != nullptr)
            hostMode.push_back(*m);
    FILE* stream = std::fopen(hostPath.c_str(), hostMode.c_str());
    if (stream == nullptr)
        return nullptr;
    auto record = std::make_unique<CrtFile>();
    CrtFile* handle = record.get();
    gOpenedRecords[handle] = std::move(record);
    gOpenedStreams[handle] = stream;
    return handle;
}

int Fclose(CrtFile* file) {
    const auto opened = gOpenedStreams.find(file);
    if (opened == gOpenedStreams.end()) {
        errno = EINVAL;
        return -1;
    }
    const int result = std::fclose(opened->second);
    gOpenedStreams.erase(opened);
    gOpenedRecords.erase(file);
    return result == 0 ? 0 : -1;
}
std::uint32_t Fwrite(const void* data, std::uint32_t size, std::uint32_t count, CrtFile* file) {
    return static_cast<std::uint32_t>(std::fwrite(data, size, count, HostStream(file)));
}

// A 32-bit x86 argument list is a pointer into the caller's stack on both
// sides, so it passes through unchanged.
int Vfprintf(CrtFile* file, const char* format, char* arguments) {
    return std::vfprintf(HostStream(file), format, arguments);
}

int Fprintf(CrtFile* file, const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    const int written = std::vfprintf(HostStream(file), format, arguments);
    va_end(arguments);
    return written;
}

void* Localeconv() {
    return &gLconv;
}

// Two locales exist here, whatever the category: "C", and "German", whose
// decimal point is a comma. The second lets a test switch the runtime under
// a loaded DLL, as an application may; a runtime's formatting that reads
// localeconv() then writes commas.
char* Setlocale(int, const char* locale) {
    static char c[] = "C";
    static char german[] = "German_Germany.1252";
    if (locale == nullptr)
        return gLconv.decimalPoint[0] == ',' ? german : c;
    if (locale[0] == 0 || std::strcmp(locale, "C") == 0) {
        gLconv.decimalPoint = ".";
        return c;
    }
    if (std::strncmp(locale, "German", 6) == 0) {
        gLconv.decimalPoint = ",";
        return german;
    }
    return nullptr;
}

// The images install handlers only for faults that end the program anyway;
// they are accepted and left uninstalled.
void* Signal(int, void*) {
    return nullptr;
}

int Read(int fd, void* buffer, unsigned size) {
    return static_cast<int>(read(fd, buffer, size));
}
int Close(int fd) {
    return close(fd);
}

} // namespace pe32::msvcrt
