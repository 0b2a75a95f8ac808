#include "platform/loader.h"

#include <dlfcn.h>

// Programs that load the plug-in carry this for LeakSanitizer, which calls
// it when the program is built with it. g++ 12's leak checker guesses the
// bounds of a dynamic thread-local block from the bytes before it; with the
// plug-in's thread-local data that guess can land on a heap chunk header and
// crash the checker at exit. Leaks are still checked.
extern "C" const char* __lsan_default_options() {
    return "intercept_tls_get_addr=0";
}

namespace klv::platform {

LoadedPlugin::LoadedPlugin(const std::string& path) {
    library_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library_ == nullptr) {
        const char* why = dlerror();
        error_ = why != nullptr ? why : "cannot load " + path;
        return;
    }
    getClassObject = reinterpret_cast<DllGetClassObjectFn>(dlsym(library_, "DllGetClassObject"));
    canUnloadNow = reinterpret_cast<DllCanUnloadNowFn>(dlsym(library_, "DllCanUnloadNow"));
    if (!Ok()) {
        error_ = path + " does not export DllGetClassObject and DllCanUnloadNow";
        return;
    }
    setTraceSink = reinterpret_cast<SetTraceSinkFn>(dlsym(library_, "KlvpsSetTraceSink"));
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(getClassObject), &info) != 0)
        module_ = static_cast<HMODULE>(info.dli_fbase);
}

LoadedPlugin::~LoadedPlugin() {
    if (library_ != nullptr)
        dlclose(library_);
}

} // namespace klv::platform
