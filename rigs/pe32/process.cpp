#include "process.h"

#include "imports.h"

#include <asm/ldt.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace pe32 {

namespace {

// Offsets in the 32-bit thread and process blocks that compiled code and
// the start-up code read directly.
constexpr unsigned kTebExceptionList = 0x00;
constexpr unsigned kTebStackBase = 0x04;
constexpr unsigned kTebStackLimit = 0x08;
constexpr unsigned kTebSelf = 0x18;
constexpr unsigned kTebProcessId = 0x20;
constexpr unsigned kTebThreadId = 0x24;
constexpr unsigned kTebTlsPointer = 0x2C;
constexpr unsigned kTebPeb = 0x30;
constexpr unsigned kTebLastError = 0x34;
constexpr unsigned kTebTlsSlots = 0xE10;
constexpr unsigned kMaxImageTls = 16;

constexpr std::uint32_t kDllProcessAttach = 1;
constexpr std::uint32_t kDllProcessDetach = 0;
constexpr std::uint32_t kErrorModNotFound = 126;
constexpr std::uint32_t kErrorDllInitFailed = 1114;

alignas(4096) std::uint8_t gTeb[0x1000];
alignas(4096) std::uint8_t gPeb[0x1000];
void* gImageTls[kMaxImageTls];
unsigned gImageTlsCount = 0;

struct Loaded {
    std::unique_ptr<Image> image;
    unsigned references;
};
std::vector<Loaded> gModules; // in load order; the program first
LoadOptions gOptions;
std::vector<void (*)()> gExitHandlers;

template <typename T> void Put(std::uint8_t* block, unsigned offset, T value) {
    std::memcpy(block + offset, &value, sizeof(value));
}

std::uint32_t Address(const void* p) {
    return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(p));
}

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
    return s;
}

std::string BaseName(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

using EntryPoint = int(PE32_WINAPI*)(void* base, std::uint32_t reason, void* reserved);

void Fail(const std::string& message) {
    std::fprintf(stderr, "pe32: %s\n", message.c_str());
}

// Gives the image its thread-local block and runs its TLS callbacks.
void AttachTls(Image& image, std::uint32_t reason) {
    pe::TlsDirectory32* tls = image.tls();
    if (tls == nullptr)
        return;
    if (reason == kDllProcessAttach) {
        if (gImageTlsCount == kMaxImageTls) {
            Fail(image.name() + ": no thread-local storage index left");
            std::exit(125);
        }
        const std::uint32_t templateSize = tls->EndAddressOfRawData - tls->StartAddressOfRawData;
        auto* block = static_cast<std::uint8_t*>(std::calloc(1, templateSize + tls->SizeOfZeroFill + 1));
        std::memcpy(block, reinterpret_cast<void*>(tls->StartAddressOfRawData), templateSize);
        gImageTls[gImageTlsCount] = block;
        if (tls->AddressOfIndex != 0)
            *reinterpret_cast<std::uint32_t*>(tls->AddressOfIndex) = gImageTlsCount;
        ++gImageTlsCount;
    }
    if (tls->AddressOfCallBacks == 0)
        return;
    unsigned called = 0;
    for (auto* callback = reinterpret_cast<std::uint32_t*>(tls->AddressOfCallBacks); *callback != 0;
         ++callback) {
        const auto run = reinterpret_cast<EntryPoint>(*callback);
        run(image.base(), reason, nullptr);
        ++called;
    }
    if (gOptions.trace)
        std::fprintf(stderr, "pe32: %s: %u TLS callbacks for process %s\n", image.name().c_str(), called,
                     reason == kDllProcessAttach ? "attach" : "detach");
}

bool LoadedFromFile(const std::string& dll) {
    for (const std::string& native : gOptions.nativeDlls)
        if (Lower(native) == Lower(dll))
            return true;
    return false;
}

void* Resolve(const std::string& dll, const std::string& name, unsigned ordinal) {
    if (IsBuiltInDll(dll) && !LoadedFromFile(dll))
        return name.empty() ? nullptr : FindBuiltInImport(dll, name);
    Image* image = LoadModule(dll);
    if (image == nullptr)
        return nullptr;
    return image->Export(name.empty() ? nullptr : name.c_str(), ordinal);
}

std::string FindFile(const std::string& name) {
    if (name.find('/') != std::string::npos)
        return name;
    // Windows names are case-blind; the files are found as given or in lower case.
    for (const std::string& directory : gOptions.searchDirectories) {
        for (const std::string& file : {name, Lower(name)}) {
            const std::string path = directory + "/" + file;
            if (access(path.c_str(), R_OK) == 0)
                return path;
        }
    }
    return {};
}

// Maps, binds and registers an image; its initialisation is left to the caller.
Image* MapModule(const std::string& path) {
    std::string error;
    std::unique_ptr<Image> image = Image::Map(path, gOptions.avoidPreferredBases, error);
    if (image == nullptr) {
        Fail(error);
        return nullptr;
    }
    if (gOptions.trace)
        std::fprintf(stderr, "pe32: %s at 0x%08x%s\n", image->name().c_str(), Address(image->base()),
                     image->relocated() ? " (relocated)" : "");
    Image* raw = image.get();
    gModules.push_back({std::move(image), 1});
    if (!raw->BindImports(Resolve, error)) {
        Fail(error);
        std::exit(125);
    }
    return raw;
}

void Detach(Image& image) {
    if (gOptions.trace)
        std::fprintf(stderr, "pe32: detaching %s\n", image.name().c_str());
    if (image.isDll() && image.entryPoint() != nullptr)
        reinterpret_cast<EntryPoint>(image.entryPoint())(image.base(), kDllProcessDetach, nullptr);
    AttachTls(image, kDllProcessDetach);
}

} // namespace

void InitializeThread() {
    Put<std::uint32_t>(gTeb, kTebExceptionList, 0xFFFFFFFFu); // no handler frames
    std::uint8_t here = 0;
    const std::uint32_t stackTop = (Address(&here) + 0xFFFF) & ~0xFFFFu;
    Put<std::uint32_t>(gTeb, kTebStackBase, stackTop);
    Put<std::uint32_t>(gTeb, kTebStackLimit, stackTop - 0x800000);
    Put<std::uint32_t>(gTeb, kTebSelf, Address(gTeb));
    Put<std::uint32_t>(gTeb, kTebProcessId, static_cast<std::uint32_t>(getpid()));
    Put<std::uint32_t>(gTeb, kTebThreadId, 1);
    Put<std::uint32_t>(gTeb, kTebTlsPointer, Address(gImageTls));
    Put<std::uint32_t>(gTeb, kTebPeb, Address(gPeb));

    // Compiled code reaches its thread block through FS: give FS a local
    // descriptor whose base is the block.
    user_desc descriptor{};
    descriptor.entry_number = 0;
    descriptor.base_addr = Address(gTeb);
    descriptor.limit = sizeof(gTeb) - 1;
    descriptor.seg_32bit = 1;
    descriptor.useable = 1;
    if (syscall(SYS_modify_ldt, 1, &descriptor, sizeof(descriptor)) != 0) {
        std::perror("pe32: modify_ldt");
        std::exit(125);
    }
    const std::uint16_t selector = (0 << 3) | 4 | 3; // first local descriptor, privilege 3
    __asm__ volatile("movw %0, %%fs" : : "r"(selector));
}

std::uint32_t LastError() {
    std::uint32_t value;
    std::memcpy(&value, gTeb + kTebLastError, 4);
    return value;
}

void SetLastError(std::uint32_t value) {
    Put(gTeb, kTebLastError, value);
}

void** TlsSlots() {
    return reinterpret_cast<void**>(gTeb + kTebTlsSlots);
}

void SetLoadOptions(const LoadOptions& options) {
    gOptions = options;
}

Image* FindModule(const std::string& name) {
    std::string wanted = Lower(BaseName(name));
    for (Loaded& loaded : gModules) {
        const std::string have = Lower(loaded.image->name());
        if (have == wanted || have == wanted + ".dll")
            return loaded.image.get();
    }
    return nullptr;
}

Image* ModuleAt(const void* handle) {
    for (Loaded& loaded : gModules)
        if (loaded.image->base() == handle)
            return loaded.image.get();
    return nullptr;
}

Image* ModuleContaining(const void* address) {
    for (Loaded& loaded : gModules)
        if (loaded.image->Contains(address))
            return loaded.image.get();
    return nullptr;
}

Image* MainImage() {
    return gModules.empty() ? nullptr : gModules.front().image.get();
}

Image* LoadModule(const std::string& name) {
    if (Image* image = FindModule(name)) {
        for (Loaded& loaded : gModules)
            if (loaded.image.get() == image)
                ++loaded.references;
        return image;
    }
    std::string path = FindFile(name);
    if (path.empty() && name.find('.') == std::string::npos)
        path = FindFile(name + ".dll");
    if (path.empty()) {
        SetLastError(kErrorModNotFound);
        return nullptr;
    }
    Image* image = MapModule(path);
    if (image == nullptr) {
        SetLastError(kErrorModNotFound);
        return nullptr;
    }
    AttachTls(*image, kDllProcessAttach);
    if (image->entryPoint() != nullptr &&
        !reinterpret_cast<EntryPoint>(image->entryPoint())(image->base(), kDllProcessAttach, nullptr)) {
        gModules.erase(std::find_if(gModules.begin(), gModules.end(),
                                    [&](const Loaded& loaded) { return loaded.image.get() == image; }));
        SetLastError(kErrorDllInitFailed);
        return nullptr;
    }
    return image;
}

bool FreeModule(Image* image) {
    for (auto it = gModules.begin(); it != gModules.end(); ++it) {
        if (it->image.get() != image)
            continue;
        if (--it->references == 0 && image->isDll()) {
            Detach(*image);
            gModules.erase(it);
        }
        return true;
    }
    return false;
}

[[noreturn]] void RunProgram(const std::string& path) {
    Image* program = MapModule(path);
    if (program == nullptr)
        std::exit(125);
    AttachTls(*program, kDllProcessAttach);
    // The platform starts a thread with the x87 unit at 53-bit precision.
    const std::uint16_t controlWord = 0x27F;
    __asm__ volatile("fldcw %0" : : "m"(controlWord));
    reinterpret_cast<void (*)()>(program->entryPoint())();
    ExitProcess(0);
}

void RegisterExitHandler(void (*handler)()) {
    gExitHandlers.push_back(handler);
}

void RunExitHandlers() {
    while (!gExitHandlers.empty()) {
        void (*handler)() = gExitHandlers.back();
        gExitHandlers.pop_back();
        handler();
    }
}

[[noreturn]] void ExitProcess(int status) {
    RunExitHandlers();
    // The libraries still loaded are detached, the last loaded first.
    while (gModules.size() > 1) {
        Loaded& last = gModules.back();
        if (last.image->isDll())
            Detach(*last.image);
        gModules.pop_back();
    }
    std::fflush(stdout);
    std::fflush(stderr);
    _exit(status);
}

} // namespace pe32
