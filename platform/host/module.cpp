#include "platform/win32.h"

#include <dlfcn.h>

namespace klv {

// As on Windows, a module handle is the address at which the module's image
// starts: the shared library when this code is linked into it, else the
// program.
// The resource calls ask for it on every page, and the lookup walks the
// loader's tables, so it is made once.
HMODULE ThisModule() {
    static const HMODULE module = [] {
        Dl_info info{};
        if (dladdr(reinterpret_cast<void*>(&ThisModule), &info) == 0)
            return HMODULE{nullptr};
        return static_cast<HMODULE>(info.dli_fbase);
    }();
    return module;
}

} // namespace klv
