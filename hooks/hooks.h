// The driver's drawing calls that the plug-in hooks, and the per-device
// block of the driver's own functions they forward to.
#pragma once

#include "platform/printoem.h"

namespace klv {

struct DeviceHookState;

// EnableDriver: hands the driver the hook table.
bool FillEnableData(DWORD driverVersion, DWORD size, DRVENABLEDATA* enableData);
// DisableDriver: nothing is held per driver.
void DisableDriverStep();
// EnablePDEV: saves the driver's own functions for the hooked calls.
DeviceHookState* BuildDeviceHookState(PDEVOBJ devobj, PWSTR printerName, ULONG patternCount, HSURF* patterns,
                                      ULONG gdiInfoSize, GDIINFO* gdiInfo, ULONG devInfoSize,
                                      DEVINFO* devInfo, DRVENABLEDATA* enableData);
// DisablePDEV: frees the block at devobj->pdevOEM.
void FreeDeviceHookState(PDEVOBJ devobj);
// ResetPDEV: each device keeps its own block.
bool ResetDeviceHookState(PDEVOBJ oldDevobj, PDEVOBJ newDevobj);

} // namespace klv
