// The emulated process: the thread block the images find through FS, the
// loaded images with their reference counts, and the orderly end.
#pragma once

#include "image.h"

#include <cstdint>
#include <string>
#include <vector>

namespace pe32 {

#define PE32_WINAPI __attribute__((stdcall))

struct LoadOptions {
    std::vector<std::string> searchDirectories;
    bool avoidPreferredBases = false; // hold each preferred base so every image is relocated
    bool trace = false;
    // Built-in libraries to load from image files instead (e.g. winspool.drv).
    std::vector<std::string> nativeDlls;
};

// Sets up the thread block and points FS at it.
void InitializeThread();

// The thread's last-error value, kept where the thread block keeps it.
std::uint32_t LastError();
void SetLastError(std::uint32_t value);

// The thread-local storage slots of TlsAlloc and friends.
constexpr unsigned kTlsSlots = 64;
void** TlsSlots();

void SetLoadOptions(const LoadOptions& options);

// Loads (or finds and counts again) the image `name`, running its
// initialisation; null with the last error set when it cannot.
Image* LoadModule(const std::string& name);
// Drops one reference; the last one detaches and unmaps the image.
bool FreeModule(Image* image);
Image* FindModule(const std::string& name);
Image* ModuleAt(const void* handle);
Image* ModuleContaining(const void* address);
Image* MainImage();

// Loads the program, runs its entry point; never returns.
[[noreturn]] void RunProgram(const std::string& path);

// Runs the exit handlers the program registered, detaches every image still
// loaded and ends the process.
void RegisterExitHandler(void (*handler)());
void RunExitHandlers();
[[noreturn]] void ExitProcess(int status);

} // namespace pe32
