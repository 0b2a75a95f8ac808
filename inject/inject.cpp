#include "inject/inject.h"

namespace klv {

DWORD InjectPostScript(PDEVOBJ, DWORD, PVOID, DWORD, IPrintOemDriverPS*) {
    return 0;
}

} // namespace klv
