// Loads the plug-in's module as the driver loads the DLL: by its two
// exported entry points only. The shared library on other hosts
// (platform/host/loader.cpp), the DLL on Windows (platform/win/loader.cpp).
#pragma once

#include "platform/win32.h"

#include <string>
#include <vector>

namespace klv::platform {

using DllGetClassObjectFn = HRESULT(STDMETHODCALLTYPE*)(REFCLSID clsid, REFIID iid, void** object);
using DllCanUnloadNowFn = HRESULT(STDMETHODCALLTYPE*)();
// The host library's trace entry point (platform/host/trace_export.h).
using TraceSinkFn = void (*)(void* context, const char* line);
using SetTraceSinkFn = void (*)(TraceSinkFn sink, void* context);

class LoadedPlugin {
public:
    // Loads the module at path (UTF-8); Ok() tells whether both entry points
    // were found.
    explicit LoadedPlugin(const std::string& path);
    ~LoadedPlugin();
    LoadedPlugin(const LoadedPlugin&) = delete;
    LoadedPlugin& operator=(const LoadedPlugin&) = delete;

    bool Ok() const { return getClassObject != nullptr && canUnloadNow != nullptr; }
    const std::string& Error() const { return error_; }

    // The module handle the driver passes to the plug-in (DEVOBJ.hOEM).
    HMODULE Module() const { return module_; }

    DllGetClassObjectFn getClassObject = nullptr;
    DllCanUnloadNowFn canUnloadNow = nullptr;
    // The library's trace entry point; null when it has none, as the DLL,
    // which traces to the debugger instead.
    SetTraceSinkFn setTraceSink = nullptr;

private:
    void* library_ = nullptr;
    HMODULE module_ = nullptr;
    std::string error_;
};

// Collects the plug-in's trace lines made on the calling thread into lines
// while it lives (nothing when the module has no trace entry point).
class TraceCapture {
public:
    TraceCapture(const LoadedPlugin& plugin, std::vector<std::string>* lines)
        : setTraceSink_(plugin.setTraceSink) {
        if (setTraceSink_ != nullptr)
            setTraceSink_(&Append, lines);
    }
    ~TraceCapture() {
        if (setTraceSink_ != nullptr)
            setTraceSink_(nullptr, nullptr);
    }
    TraceCapture(const TraceCapture&) = delete;
    TraceCapture& operator=(const TraceCapture&) = delete;

private:
    static void Append(void* lines, const char* line) {
        static_cast<std::vector<std::string>*>(lines)->push_back(line);
    }
    SetTraceSinkFn setTraceSink_;
};

} // namespace klv::platform
