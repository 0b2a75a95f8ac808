// Declarations of the platform functions the loader implements: the
// system's calls are __stdcall, the C runtime's are cdecl, as the images
// that import them were compiled to call them.
#pragma once

#include "process.h"

#include <cstdint>
#include <string>
#include <vector>

namespace pe32 {

using BOOL = std::int32_t;
using DWORD = std::uint32_t;
using LONG = std::int32_t;
using UINT = std::uint32_t;
using HANDLE = void*;
using WCHAR = char16_t;

// The C runtime's FILE, as its 32-bit layout has it; the loader only tells
// the three standard streams apart by their place in the array.
struct CrtFile {
    char* ptr;
    int count;
    char* base;
    int flags;
    int file;
    int charbuf;
    int bufsiz;
    char* tmpfname;
};
static_assert(sizeof(CrtFile) == 32);

namespace kernel32 {
void PE32_WINAPI AcquireSRWLockExclusive(void* lock);
void PE32_WINAPI ReleaseSRWLockExclusive(void* lock);
BOOL PE32_WINAPI CloseHandle(HANDLE handle);
HANDLE PE32_WINAPI CreateSemaphoreW(void* attributes, LONG initial, LONG maximum, const WCHAR* name);
BOOL PE32_WINAPI ReleaseSemaphore(HANDLE semaphore, LONG count, LONG* previous);
DWORD PE32_WINAPI WaitForSingleObject(HANDLE handle, DWORD milliseconds);
void PE32_WINAPI InitializeCriticalSection(void* section);
void PE32_WINAPI DeleteCriticalSection(void* section);
void PE32_WINAPI EnterCriticalSection(void* section);
void PE32_WINAPI LeaveCriticalSection(void* section);
void* PE32_WINAPI FindResourceW(void* module, const WCHAR* name, const WCHAR* type);
void* PE32_WINAPI LoadResource(void* module, void* resource);
void* PE32_WINAPI LockResource(void* data);
DWORD PE32_WINAPI SizeofResource(void* module, void* resource);
BOOL PE32_WINAPI FreeLibrary(void* module);
void* PE32_WINAPI LoadLibraryA(const char* name);
void* PE32_WINAPI LoadLibraryW(const WCHAR* name);
void* PE32_WINAPI GetModuleHandleA(const char* name);
void* PE32_WINAPI GetModuleHandleW(const WCHAR* name);
void* PE32_WINAPI GetProcAddress(void* module, const char* name);
DWORD PE32_WINAPI GetCurrentThreadId();
DWORD PE32_WINAPI GetLastError();
void PE32_WINAPI SetLastError(DWORD error);
void PE32_WINAPI GetStartupInfoA(void* info);
BOOL PE32_WINAPI IsDBCSLeadByteEx(UINT codePage, std::uint8_t byte);
int PE32_WINAPI MultiByteToWideChar(UINT codePage, DWORD flags, const char* source, int sourceLength,
                                    WCHAR* target, int targetLength);
int PE32_WINAPI WideCharToMultiByte(UINT codePage, DWORD flags, const WCHAR* source, int sourceLength,
                                    char* target, int targetLength, const char* defaultChar,
                                    BOOL* usedDefault);
void* PE32_WINAPI SetUnhandledExceptionFilter(void* filter);
void* PE32_WINAPI AddVectoredExceptionHandler(DWORD first, void* handler);
void PE32_WINAPI OutputDebugStringA(const char* text);
DWORD PE32_WINAPI GetEnvironmentVariableA(const char* name, char* buffer, DWORD size);
BOOL PE32_WINAPI SetEnvironmentVariableA(const char* name, const char* value);
void PE32_WINAPI Sleep(DWORD milliseconds);
DWORD PE32_WINAPI TlsAlloc();
BOOL PE32_WINAPI TlsFree(DWORD index);
void* PE32_WINAPI TlsGetValue(DWORD index);
BOOL PE32_WINAPI TlsSetValue(DWORD index, void* value);
BOOL PE32_WINAPI VirtualProtect(void* address, std::uint32_t size, DWORD protection, DWORD* old);
std::uint32_t PE32_WINAPI VirtualQuery(const void* address, void* information, std::uint32_t size);
} // namespace kernel32

namespace msvcrt {
extern CrtFile iob[3];
extern char** initenv;
extern int mbCurMax;
// Sets what the program finds as its arguments, command line and environment.
void SetProgramArguments(const std::vector<std::string>& arguments);
int GetMainArgs(int* argc, char*** argv, char*** env, int wildcard, void* startInfo);
char** AcmdlnPointer();
int* CommodePointer();
int* FmodePointer();
void SetAppType(int type);
void SetUserMathErr(void* handler);
void AmsgExit(int code);
void Cexit();
void Exit(int status);
void Abort();
int* Errno();
void InitTerm(void (**begin)(), void (**end)());
void Lock(int lock);
void Unlock(int lock);
void* OnExit(void (*handler)());
int Atoi(const char* text);
void* Calloc(std::uint32_t count, std::uint32_t size);
void* Malloc(std::uint32_t size);
void* Realloc(void* block, std::uint32_t size);
void Free(void* block);
const void* Memchr(const void* block, int c, std::uint32_t size);
int Memcmp(const void* a, const void* b, std::uint32_t size);
void* Memcpy(void* to, const void* from, std::uint32_t size);
void* Memmove(void* to, const void* from, std::uint32_t size);
void* Memset(void* to, int c, std::uint32_t size);
const char* Strchr(const char* text, int c);
int Strcmp(const char* a, const char* b);
int Strncmp(const char* a, const char* b, std::uint32_t size);
std::uint32_t Strlen(const char* text);
char* Strerror(int error);
std::uint32_t Wcslen(const WCHAR* text);
WCHAR* Wcsncpy(WCHAR* to, const WCHAR* from, std::uint32_t size);
int Tolower(int c);
int Fputc(int c, CrtFile* file);
int Fputs(const char* text, CrtFile* file);
int Puts(const char* text);
CrtFile* Fopen(const char* path, const char* mode);
int Fclose(CrtFile* file);
std::uint32_t Fwrite(const void* data, std::uint32_t size, std::uint32_t count, CrtFile* file);
int Fprintf(CrtFile* file, const char* format, ...);
int Vfprintf(CrtFile* file, const char* format, char* arguments);
void* Localeconv();
char* Setlocale(int category, const char* locale);
void* Signal(int signal, void* handler);
int Read(int fd, void* buffer, unsigned size);
int Close(int fd);
} // namespace msvcrt

namespace winspool {
BOOL PE32_WINAPI EnumJobsW(HANDLE printer, DWORD firstJob, DWORD count, DWORD level, std::uint8_t* jobs,
                           DWORD size, DWORD* needed, DWORD* returned);
BOOL PE32_WINAPI GetJobW(HANDLE printer, DWORD jobId, DWORD level, std::uint8_t* job, DWORD size,
                         DWORD* needed);
} // namespace winspool

} // namespace pe32
