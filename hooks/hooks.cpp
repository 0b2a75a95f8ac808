#include "hooks/hooks.h"

#include "hooks/device_state.h"
#include "hooks/hook_table.h"
#include "platform/trace.h"

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
// casts are written out in place (not through a helper) so that the table is
// a constant the compiler lays out in read-only data, with no start-up code.
#define KLV_HOOK_ENTRY(Name)                                                                                 \
    {                                                                                                        \
        INDEX_Drv##Name,                                                                                     \
            reinterpret_cast<PFN>(reinterpret_cast<void (*)()>(static_cast<PFN_Drv##Name>(&Hook##Name)))     \
    }

const DRVFN HookTable[kHookCount] = {
    KLV_HOOK_ENTRY(RealizeBrush),
    KLV_HOOK_ENTRY(CopyBits),
    KLV_HOOK_ENTRY(BitBlt),
    KLV_HOOK_ENTRY(StretchBlt),
    KLV_HOOK_ENTRY(StretchBltROP),
    KLV_HOOK_ENTRY(PlgBlt),
    KLV_HOOK_ENTRY(TransparentBlt),
    KLV_HOOK_ENTRY(AlphaBlend),
    KLV_HOOK_ENTRY(GradientFill),
    KLV_HOOK_ENTRY(TextOut),
    KLV_HOOK_ENTRY(StrokePath),
    KLV_HOOK_ENTRY(FillPath),
    KLV_HOOK_ENTRY(StrokeAndFillPath),
    KLV_HOOK_ENTRY(StartPage),
    KLV_HOOK_ENTRY(SendPage),
    KLV_HOOK_ENTRY(Escape),
    KLV_HOOK_ENTRY(StartDoc),
    KLV_HOOK_ENTRY(EndDoc),
    KLV_HOOK_ENTRY(QueryFont),
    KLV_HOOK_ENTRY(QueryFontTree),
    KLV_HOOK_ENTRY(QueryFontData),
    KLV_HOOK_ENTRY(QueryAdvanceWidths),
    KLV_HOOK_ENTRY(FontManagement),
    KLV_HOOK_ENTRY(GetGlyphMode),
    KLV_HOOK_ENTRY(IcmCreateColorTransform),
    KLV_HOOK_ENTRY(IcmDeleteColorTransform),
    KLV_HOOK_ENTRY(QueryDeviceSupport),
};

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
    if (state == nullptr) {
        KLV_TRACE("EnablePDEV: no memory for the device's block");
        return nullptr;
    }
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
