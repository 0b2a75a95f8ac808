// The one table of everything the loader provides to the images it runs.
// An image importing anything not listed here is refused at load time with
// the name of the import, so nothing runs against a missing function.
#include "imports.h"

#include "api.h"
#include "stops.h"

#include <cstring>
#include <strings.h>

namespace pe32 {

namespace {

struct BuiltIn {
    const char* dll;
    const char* name;
    void* address;
};

template <typename Function> void* Address(Function function) {
    return reinterpret_cast<void*>(function);
}

constexpr const char* kKernel32 = "KERNEL32.dll";
constexpr const char* kMsvcrt = "msvcrt.dll";
constexpr const char* kWinspool = "WINSPOOL.DRV";
constexpr const char* kUser32 = "USER32.dll";
constexpr const char* kGdi32 = "GDI32.dll";
constexpr const char* kComdlg32 = "COMDLG32.DLL";

// One function per stopped import, which knows its own name. The system's
// calls clean their arguments from the stack, but these never return.
#define PE32_STOP_FUNCTION(dll, name)                                                                        \
    void PE32_WINAPI Stop_##name() {                                                                         \
        stops::Stop(dll, #name);                                                                             \
    }
PE32_STOPPED_IMPORTS(PE32_STOP_FUNCTION)
#undef PE32_STOP_FUNCTION

const BuiltIn kBuiltIns[] = {
    {kKernel32, "AcquireSRWLockExclusive", Address(kernel32::AcquireSRWLockExclusive)},
    {kKernel32, "AddVectoredExceptionHandler", Address(kernel32::AddVectoredExceptionHandler)},
    {kKernel32, "CloseHandle", Address(kernel32::CloseHandle)},
    {kKernel32, "CreateSemaphoreW", Address(kernel32::CreateSemaphoreW)},
    {kKernel32, "DeleteCriticalSection", Address(kernel32::DeleteCriticalSection)},
    {kKernel32, "EnterCriticalSection", Address(kernel32::EnterCriticalSection)},
    {kKernel32, "FindResourceW", Address(kernel32::FindResourceW)},
    {kKernel32, "FreeLibrary", Address(kernel32::FreeLibrary)},
    {kKernel32, "GetCurrentThreadId", Address(kernel32::GetCurrentThreadId)},
    {kKernel32, "GetEnvironmentVariableA", Address(kernel32::GetEnvironmentVariableA)},
    {kKernel32, "GetLastError", Address(kernel32::GetLastError)},
    {kKernel32, "GetModuleHandleA", Address(kernel32::GetModuleHandleA)},
    {kKernel32, "GetModuleHandleW", Address(kernel32::GetModuleHandleW)},
    {kKernel32, "GetProcAddress", Address(kernel32::GetProcAddress)},
    {kKernel32, "GetStartupInfoA", Address(kernel32::GetStartupInfoA)},
    {kKernel32, "InitializeCriticalSection", Address(kernel32::InitializeCriticalSection)},
    {kKernel32, "IsDBCSLeadByteEx", Address(kernel32::IsDBCSLeadByteEx)},
    {kKernel32, "LeaveCriticalSection", Address(kernel32::LeaveCriticalSection)},
    {kKernel32, "LoadLibraryA", Address(kernel32::LoadLibraryA)},
    {kKernel32, "LoadLibraryW", Address(kernel32::LoadLibraryW)},
    {kKernel32, "LoadResource", Address(kernel32::LoadResource)},
    {kKernel32, "LockResource", Address(kernel32::LockResource)},
    {kKernel32, "MultiByteToWideChar", Address(kernel32::MultiByteToWideChar)},
    {kKernel32, "OutputDebugStringA", Address(kernel32::OutputDebugStringA)},
    {kKernel32, "ReleaseSRWLockExclusive", Address(kernel32::ReleaseSRWLockExclusive)},
    {kKernel32, "ReleaseSemaphore", Address(kernel32::ReleaseSemaphore)},
    {kKernel32, "SetEnvironmentVariableA", Address(kernel32::SetEnvironmentVariableA)},
    {kKernel32, "SetLastError", Address(kernel32::SetLastError)},
    {kKernel32, "SetUnhandledExceptionFilter", Address(kernel32::SetUnhandledExceptionFilter)},
    {kKernel32, "SizeofResource", Address(kernel32::SizeofResource)},
    {kKernel32, "Sleep", Address(kernel32::Sleep)},
    {kKernel32, "TlsAlloc", Address(kernel32::TlsAlloc)},
    {kKernel32, "TlsFree", Address(kernel32::TlsFree)},
    {kKernel32, "TlsGetValue", Address(kernel32::TlsGetValue)},
    {kKernel32, "TlsSetValue", Address(kernel32::TlsSetValue)},
    {kKernel32, "VirtualProtect", Address(kernel32::VirtualProtect)},
    {kKernel32, "VirtualQuery", Address(kernel32::VirtualQuery)},
    {kKernel32, "WaitForSingleObject", Address(kernel32::WaitForSingleObject)},
    {kKernel32, "WideCharToMultiByte", Address(kernel32::WideCharToMultiByte)},

    // Data the runtime exports: the import slot receives the variable's address.
    {kMsvcrt, "__initenv", &msvcrt::initenv},
    {kMsvcrt, "__mb_cur_max", &msvcrt::mbCurMax},
    {kMsvcrt, "_iob", msvcrt::iob},

    {kMsvcrt, "__getmainargs", Address(msvcrt::GetMainArgs)},
    {kMsvcrt, "__p__acmdln", Address(msvcrt::AcmdlnPointer)},
    {kMsvcrt, "__p__commode", Address(msvcrt::CommodePointer)},
    {kMsvcrt, "__p__fmode", Address(msvcrt::FmodePointer)},
    {kMsvcrt, "__set_app_type", Address(msvcrt::SetAppType)},
    {kMsvcrt, "__setusermatherr", Address(msvcrt::SetUserMathErr)},
    {kMsvcrt, "_amsg_exit", Address(msvcrt::AmsgExit)},
    {kMsvcrt, "_cexit", Address(msvcrt::Cexit)},
    {kMsvcrt, "_close", Address(msvcrt::Close)},
    {kMsvcrt, "_errno", Address(msvcrt::Errno)},
    {kMsvcrt, "_initterm", Address(msvcrt::InitTerm)},
    {kMsvcrt, "_lock", Address(msvcrt::Lock)},
    {kMsvcrt, "_onexit", Address(msvcrt::OnExit)},
    {kMsvcrt, "_read", Address(msvcrt::Read)},
    {kMsvcrt, "_unlock", Address(msvcrt::Unlock)},
    {kMsvcrt, "abort", Address(msvcrt::Abort)},
    {kMsvcrt, "atoi", Address(msvcrt::Atoi)},
    {kMsvcrt, "calloc", Address(msvcrt::Calloc)},
    {kMsvcrt, "exit", Address(msvcrt::Exit)},
    {kMsvcrt, "fclose", Address(msvcrt::Fclose)},
    {kMsvcrt, "fopen", Address(msvcrt::Fopen)},
    {kMsvcrt, "fprintf", Address(msvcrt::Fprintf)},
    {kMsvcrt, "fputc", Address(msvcrt::Fputc)},
    {kMsvcrt, "fputs", Address(msvcrt::Fputs)},
    {kMsvcrt, "free", Address(msvcrt::Free)},
    {kMsvcrt, "fwrite", Address(msvcrt::Fwrite)},
    {kMsvcrt, "localeconv", Address(msvcrt::Localeconv)},
    {kMsvcrt, "malloc", Address(msvcrt::Malloc)},
    {kMsvcrt, "memchr", Address(msvcrt::Memchr)},
    {kMsvcrt, "memcmp", Address(msvcrt::Memcmp)},
    {kMsvcrt, "memcpy", Address(msvcrt::Memcpy)},
    {kMsvcrt, "memmove", Address(msvcrt::Memmove)},
    {kMsvcrt, "memset", Address(msvcrt::Memset)},
    {kMsvcrt, "puts", Address(msvcrt::Puts)},
    {kMsvcrt, "realloc", Address(msvcrt::Realloc)},
    {kMsvcrt, "setlocale", Address(msvcrt::Setlocale)},
    {kMsvcrt, "signal", Address(msvcrt::Signal)},
    {kMsvcrt, "strchr", Address(msvcrt::Strchr)},
    {kMsvcrt, "strcmp", Address(msvcrt::Strcmp)},
    {kMsvcrt, "strerror", Address(msvcrt::Strerror)},
    {kMsvcrt, "strlen", Address(msvcrt::Strlen)},
    {kMsvcrt, "strncmp", Address(msvcrt::Strncmp)},
    {kMsvcrt, "vfprintf", Address(msvcrt::Vfprintf)},
    {kMsvcrt, "wcslen", Address(msvcrt::Wcslen)},

    {kWinspool, "EnumJobsW", Address(winspool::EnumJobsW)},
    {kWinspool, "GetJobW", Address(winspool::GetJobW)},
    {kMsvcrt, "tolower", Address(msvcrt::Tolower)},
    {kMsvcrt, "wcsncpy", Address(msvcrt::Wcsncpy)},

#define PE32_STOP_ENTRY(dll, name) {dll, #name, Address(Stop_##name)},
    PE32_STOPPED_IMPORTS(PE32_STOP_ENTRY)
#undef PE32_STOP_ENTRY
};

} // namespace

bool IsBuiltInDll(const std::string& dll) {
    for (const char* name : {kKernel32, kMsvcrt, kWinspool, kUser32, kGdi32, kComdlg32})
        if (strcasecmp(dll.c_str(), name) == 0)
            return true;
    return false;
}

void* FindBuiltInImport(const std::string& dll, const std::string& name) {
    for (const BuiltIn& builtIn : kBuiltIns)
        if (strcasecmp(dll.c_str(), builtIn.dll) == 0 && name == builtIn.name)
            return builtIn.address;
    return nullptr;
}

std::string ListBuiltInImports() {
    std::string list;
    for (const BuiltIn& builtIn : kBuiltIns)
        list += std::string(builtIn.dll) + "!" + builtIn.name + "\n";
    return list;
}

} // namespace pe32
