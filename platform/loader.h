// Loads the plug-in's module as the driver loads the DLL: by its two
// exported entry points only. The shared library on other hosts
// (platform/host/loader.cpp), the DLL on Windows (platform/win/loader.cpp).
#pragma once

#include "platform/win32.h"

#include <string>

namespace klv::platform {

using DllGetClassObjectFn = HRESULT(STDMETHODCALLTYPE*)(REFCLSID clsid, REFIID iid, void** object);
using DllCanUnloadNowFn = HRESULT(STDMETHODCALLTYPE*)();

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

private:
    void* library_ = nullptr;
    HMODULE module_ = nullptr;
    std::string error_;
};

} // namespace klv::platform
