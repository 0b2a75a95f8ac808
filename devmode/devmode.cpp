#include "devmode/devmode.h"

namespace klv {

HRESULT HandleDevMode(DWORD, POEMDMPARAM) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return E_FAIL;
}

} // namespace klv
