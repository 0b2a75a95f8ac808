#include "hooks/hooks.h"

namespace klv {

bool FillEnableData(DWORD, DWORD, DRVENABLEDATA*) {
    return true;
}

void DisableDriverStep() {}

DeviceHookState* BuildDeviceHookState(PDEVOBJ, PWSTR, ULONG, HSURF*, ULONG, GDIINFO*, ULONG, DEVINFO*,
                                      DRVENABLEDATA*) {
    return nullptr;
}

void FreeDeviceHookState(PDEVOBJ) {}

bool ResetDeviceHookState(PDEVOBJ, PDEVOBJ) {
    return true;
}

} // namespace klv
