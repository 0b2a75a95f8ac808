#include "platform/loader.h"

namespace klv::platform {

namespace {

std::wstring Widen(const std::string& utf8) {
    const int units = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, nullptr, 0);
    if (units <= 0)
        return {};
    std::wstring wide(static_cast<size_t>(units), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, wide.data(), units);
    wide.resize(static_cast<size_t>(units - 1));
    return wide;
}

template <typename Function> Function Entry(HMODULE module, const char* name) {
    // GetProcAddress hands out every export as one generic pointer type.
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

} // namespace

LoadedPlugin::LoadedPlugin(const std::string& path) {
    const std::wstring widePath = Widen(path);
    HMODULE module = widePath.empty() ? nullptr : LoadLibraryW(widePath.c_str());
    if (module == nullptr) {
        error_ = "cannot load " + path + " (error " + std::to_string(GetLastError()) + ")";
        return;
    }
    library_ = module;
    module_ = module;
    getClassObject = Entry<DllGetClassObjectFn>(module, "DllGetClassObject");
    canUnloadNow = Entry<DllCanUnloadNowFn>(module, "DllCanUnloadNow");
    if (!Ok())
        error_ = path + " does not export DllGetClassObject and DllCanUnloadNow";
}

LoadedPlugin::~LoadedPlugin() {
    if (library_ != nullptr)
        FreeLibrary(static_cast<HMODULE>(library_));
}

} // namespace klv::platform
