#include "hooks/hooks.h"

#include "hooks/device_state.h"
#include "hooks/hook_table.h"

#include <new>

namespace klv {
namespace {

// Each hook is taken with the exact type of the DDI function of its entry,
// so a hook whose prototype drifts from the DDI's fails to compile here.
template <typename Fn> PFN AsPfn(Fn fn) {
    return ToPfn(fn);
}

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

const DRVFN HookTable[kHookCount] = {
    {INDEX_DrvRealizeBrush, AsPfn<PFN_DrvRealizeBrush>(HookRealizeBrush)},
    {INDEX_DrvCopyBits, AsPfn<PFN_DrvCopyBits>(HookCopyBits)},
    {INDEX_DrvBitBlt, AsPfn<PFN_DrvBitBlt>(HookBitBlt)},
    {INDEX_DrvStretchBlt, AsPfn<PFN_DrvStretchBlt>(HookStretchBlt)},
    {INDEX_DrvStretchBltROP, AsPfn<PFN_DrvStretchBltROP>(HookStretchBltROP)},
    {INDEX_DrvPlgBlt, AsPfn<PFN_DrvPlgBlt>(HookPlgBlt)},
    {INDEX_DrvTransparentBlt, AsPfn<PFN_DrvTransparentBlt>(HookTransparentBlt)},
    {INDEX_DrvAlphaBlend, AsPfn<PFN_DrvAlphaBlend>(HookAlphaBlend)},
    {INDEX_DrvGradientFill, AsPfn<PFN_DrvGradientFill>(HookGradientFill)},
    {INDEX_DrvTextOut, AsPfn<PFN_DrvTextOut>(HookTextOut)},
    {INDEX_DrvStrokePath, AsPfn<PFN_DrvStrokePath>(HookStrokePath)},
    {INDEX_DrvFillPath, AsPfn<PFN_DrvFillPath>(HookFillPath)},
    {INDEX_DrvStrokeAndFillPath, AsPfn<PFN_DrvStrokeAndFillPath>(HookStrokeAndFillPath)},
    {INDEX_DrvStartPage, AsPfn<PFN_DrvStartPage>(HookStartPage)},
    {INDEX_DrvSendPage, AsPfn<PFN_DrvSendPage>(HookSendPage)},
    {INDEX_DrvEscape, AsPfn<PFN_DrvEscape>(HookEscape)},
    {INDEX_DrvStartDoc, AsPfn<PFN_DrvStartDoc>(HookStartDoc)},
    {INDEX_DrvEndDoc, AsPfn<PFN_DrvEndDoc>(HookEndDoc)},
    {INDEX_DrvQueryFont, AsPfn<PFN_DrvQueryFont>(HookQueryFont)},
    {INDEX_DrvQueryFontTree, AsPfn<PFN_DrvQueryFontTree>(HookQueryFontTree)},
    {INDEX_DrvQueryFontData, AsPfn<PFN_DrvQueryFontData>(HookQueryFontData)},
    {INDEX_DrvQueryAdvanceWidths, AsPfn<PFN_DrvQueryAdvanceWidths>(HookQueryAdvanceWidths)},
    {INDEX_DrvFontManagement, AsPfn<PFN_DrvFontManagement>(HookFontManagement)},
    {INDEX_DrvGetGlyphMode, AsPfn<PFN_DrvGetGlyphMode>(HookGetGlyphMode)},
    {INDEX_DrvIcmCreateColorTransform, AsPfn<PFN_DrvIcmCreateColorTransform>(HookIcmCreateColorTransform)},
    {INDEX_DrvIcmDeleteColorTransform, AsPfn<PFN_DrvIcmDeleteColorTransform>(HookIcmDeleteColorTransform)},
    {INDEX_DrvQueryDeviceSupport, AsPfn<PFN_DrvQueryDeviceSupport>(HookQueryDeviceSupport)},
};

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
    DeviceHookState* state = new (std::nothrow) DeviceHookState;
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
