#include "hooks/hooks.h"

#include "hooks/device_state.h"
#include "hooks/hook_table.h"

#include <new>

namespace klv {
namespace {

// The first record for the index wins; later duplicates are ignored.
PFN FindDriverFunction(const DRVENABLEDATA& enableData, ULONG iFunc) {
    const DRVFN* functions = enableData.pdrvfn;
    if (functions == nullptr)
        return nullptr;
    for (ULONG i = 0; i < enableData.c; ++i) {
        if (functions[i].iFunc == iFunc)
            return functions[i].pfn;
    }
    return nullptr;
}

} // namespace

// Each hook is taken with the exact type of the DDI function of its entry,
// so a hook whose prototype drifts from the DDI's fails to compile here. The
// cast is a macro, so the table is a constant the compiler lays out in
// read-only data, with no start-up code.
#define KLV_HOOK_ENTRY(Name, index, position, failure)                                                       \
    {INDEX_Drv##Name, KLV_FUNCTION_CAST(PFN, static_cast<PFN_Drv##Name>(&Hook##Name))},

const DRVFN HookTable[kHookCount] = {KLV_HOOKED_DDI_FUNCTIONS(KLV_HOOK_ENTRY)};

#undef KLV_HOOK_ENTRY

bool FillEnableData(DWORD, DWORD, DRVENABLEDATA* enableData) {
    if (enableData == nullptr)
        return false;
    enableData->iDriverVersion = PRINTER_OEMINTF_VERSION;
    enableData->c = kHookCount;
    // The driver only reads the table; the record's member is not const.
    enableData->pdrvfn = const_cast<DRVFN*>(HookTable);
    return true;
}

void DisableDriverStep() {
}

DeviceHookState* BuildDeviceHookState(PDEVOBJ, PWSTR, ULONG, HSURF*, ULONG, GDIINFO*, ULONG, DEVINFO*,
                                      DRVENABLEDATA* enableData) {
    // Value-initialised: every member starts at zero, including any that the
    // injection code keeps per device.
    DeviceHookState* state = new (std::nothrow) DeviceHookState();
    if (state == nullptr)
        return nullptr;
    for (unsigned i = 0; i < kHookCount; ++i) {
        PFN driverFunction =
            enableData != nullptr ? FindDriverFunction(*enableData, HookTable[i].iFunc) : nullptr;
        // A hook calls its slot without looking, so a slot is never null.
        state->savedFunctions[i] = driverFunction != nullptr ? driverFunction : MissingDriverFunction(i);
    }
    state->jobId = 0;
    state->documentName[0] = 0;
    return state;
}

void FreeDeviceHookState(PDEVOBJ devobj) {
    // pdevOEM is left as it is: the driver drops the DEVOBJ right after.
    delete DeviceStateOf(devobj);
}

bool ResetDeviceHookState(PDEVOBJ, PDEVOBJ) {
    // The new device built its own block at its EnablePDEV and receives its
    // own StartDoc; the old block goes with the old device's DisablePDEV.
    return true;
}

} // namespace klv
