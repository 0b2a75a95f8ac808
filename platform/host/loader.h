// Loads the plug-in's shared library as the driver loads the DLL: by its
// two exported entry points only.
#pragma once

#include "platform/host/trace_export.h"
#include "platform/win32.h"

#include <string>
#include <vector>

namespace klv::host {

using DllGetClassObjectFn = HRESULT (*)(REFCLSID clsid, REFIID iid, void** object);
using DllCanUnloadNowFn = HRESULT (*)();

class LoadedPlugin {
public:
    // Loads the library at path; Ok() tells whether both entry points were found.
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
    // The library's trace entry point; null when it has none.
    decltype(&KlvpsSetTraceSink) setTraceSink = nullptr;

private:
    void* library_ = nullptr;
    HMODULE module_ = nullptr;
    std::string error_;
};

// Collects the plug-in's trace lines made on the calling thread into lines
// while it lives (nothing when the library has no trace entry point).
class TraceCapture {
public:
    TraceCapture(const LoadedPlugin& plugin, std::vector<std::string>* lines);
    ~TraceCapture();
    TraceCapture(const TraceCapture&) = delete;
    TraceCapture& operator=(const TraceCapture&) = delete;

private:
    decltype(&KlvpsSetTraceSink) setTraceSink_;
};

} // namespace klv::host
