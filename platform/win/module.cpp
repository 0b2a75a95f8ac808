#include "platform/win32.h"

// The linker places this symbol at the start of the image the code is
// linked into, which is what a module handle is.
extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace klv {

HMODULE ThisModule() {
    return reinterpret_cast<HMODULE>(&__ImageBase);
}

} // namespace klv
