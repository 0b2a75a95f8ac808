// The 27 drawing hooks and the stand-ins for functions a driver leaves out.
//
// Every hook sits on the driver's drawing path, so each is a bare
// forwarding step: reach the device's DeviceHookState (through the
// surface's dhpdev or the device handle itself), load the saved function of
// its own position and call it with the unchanged arguments. Nothing is
// checked on this path: a slot the driver did not fill holds a stand-in,
// never null, and the driver enables the device before any drawing call.
#include "hooks/hook_table.h"

#include <iterator>

namespace klv {
namespace {

// The device handle the engine passes to drivers is the DEVOBJ, whose
// pdevOEM is this plug-in's block.
inline DeviceHookState* StateOf(DHPDEV dhpdev) {
    return static_cast<DeviceHookState*>(reinterpret_cast<DEVOBJ*>(dhpdev)->pdevOEM);
}

inline DeviceHookState* StateOf(SURFOBJ* pso) {
    return StateOf(pso->dhpdev);
}

template <typename Fn> inline Fn Saved(DeviceHookState* state, HookPosition position) {
    return KLV_FUNCTION_CAST(Fn, state->savedFunctions[position]);
}

} // namespace

BOOL APIENTRY HookRealizeBrush(BRUSHOBJ*, SURFOBJ*, SURFOBJ*, SURFOBJ*, XLATEOBJ*, ULONG) {
    // Brushes are realised by the PostScript the driver writes for each
    // fill; the engine only needs to hear that the brush exists.
    return TRUE;
}

BOOL APIENTRY HookCopyBits(SURFOBJ* psoDest, SURFOBJ* psoSrc, CLIPOBJ* pco, XLATEOBJ* pxlo, RECTL* prclDest,
                           POINTL* pptlSrc) {
    return Saved<PFN_DrvCopyBits>(StateOf(psoDest), kPosCopyBits)(psoDest, psoSrc, pco, pxlo, prclDest,
                                                                  pptlSrc);
}

BOOL APIENTRY HookBitBlt(SURFOBJ* psoTrg, SURFOBJ* psoSrc, SURFOBJ* psoMask, CLIPOBJ* pco, XLATEOBJ* pxlo,
                         RECTL* prclTrg, POINTL* pptlSrc, POINTL* pptlMask, BRUSHOBJ* pbo, POINTL* pptlBrush,
                         ROP4 rop4) {
    return Saved<PFN_DrvBitBlt>(StateOf(psoTrg), kPosBitBlt)(psoTrg, psoSrc, psoMask, pco, pxlo, prclTrg,
                                                             pptlSrc, pptlMask, pbo, pptlBrush, rop4);
}

BOOL APIENTRY HookStretchBlt(SURFOBJ* psoDest, SURFOBJ* psoSrc, SURFOBJ* psoMask, CLIPOBJ* pco,
                             XLATEOBJ* pxlo, COLORADJUSTMENT* pca, POINTL* pptlHTOrg, RECTL* prclDest,
                             RECTL* prclSrc, POINTL* pptlMask, ULONG iMode) {
    return Saved<PFN_DrvStretchBlt>(StateOf(psoDest), kPosStretchBlt)(
        psoDest, psoSrc, psoMask, pco, pxlo, pca, pptlHTOrg, prclDest, prclSrc, pptlMask, iMode);
}

BOOL APIENTRY HookStretchBltROP(SURFOBJ* psoDest, SURFOBJ* psoSrc, SURFOBJ* psoMask, CLIPOBJ* pco,
                                XLATEOBJ* pxlo, COLORADJUSTMENT* pca, POINTL* pptlHTOrg, RECTL* prclDest,
                                RECTL* prclSrc, POINTL* pptlMask, ULONG iMode, BRUSHOBJ* pbo, DWORD rop4) {
    return Saved<PFN_DrvStretchBltROP>(StateOf(psoDest), kPosStretchBltROP)(
        psoDest, psoSrc, psoMask, pco, pxlo, pca, pptlHTOrg, prclDest, prclSrc, pptlMask, iMode, pbo, rop4);
}

BOOL APIENTRY HookPlgBlt(SURFOBJ* psoTrg, SURFOBJ* psoSrc, SURFOBJ* psoMsk, CLIPOBJ* pco, XLATEOBJ* pxlo,
                         COLORADJUSTMENT* pca, POINTL* pptlBrushOrg, POINTFIX* pptfx, RECTL* prcl,
                         POINTL* pptl, ULONG iMode) {
    return Saved<PFN_DrvPlgBlt>(StateOf(psoTrg), kPosPlgBlt)(psoTrg, psoSrc, psoMsk, pco, pxlo, pca,
                                                             pptlBrushOrg, pptfx, prcl, pptl, iMode);
}

BOOL APIENTRY HookTransparentBlt(SURFOBJ* psoDst, SURFOBJ* psoSrc, CLIPOBJ* pco, XLATEOBJ* pxlo,
                                 RECTL* prclDst, RECTL* prclSrc, ULONG iTransColor, ULONG ulReserved) {
    return Saved<PFN_DrvTransparentBlt>(StateOf(psoDst), kPosTransparentBlt)(
        psoDst, psoSrc, pco, pxlo, prclDst, prclSrc, iTransColor, ulReserved);
}

BOOL APIENTRY HookAlphaBlend(SURFOBJ* psoDest, SURFOBJ* psoSrc, CLIPOBJ* pco, XLATEOBJ* pxlo, RECTL* prclDest,
                             RECTL* prclSrc, BLENDOBJ* pBlendObj) {
    return Saved<PFN_DrvAlphaBlend>(StateOf(psoDest), kPosAlphaBlend)(psoDest, psoSrc, pco, pxlo, prclDest,
                                                                      prclSrc, pBlendObj);
}

BOOL APIENTRY HookGradientFill(SURFOBJ* psoDest, CLIPOBJ* pco, XLATEOBJ* pxlo, TRIVERTEX* pVertex,
                               ULONG nVertex, PVOID pMesh, ULONG nMesh, RECTL* prclExtents,
                               POINTL* pptlDitherOrg, ULONG ulMode) {
    return Saved<PFN_DrvGradientFill>(StateOf(psoDest), kPosGradientFill)(
        psoDest, pco, pxlo, pVertex, nVertex, pMesh, nMesh, prclExtents, pptlDitherOrg, ulMode);
}

BOOL APIENTRY HookTextOut(SURFOBJ* pso, STROBJ* pstro, FONTOBJ* pfo, CLIPOBJ* pco, RECTL* prclExtra,
                          RECTL* prclOpaque, BRUSHOBJ* pboFore, BRUSHOBJ* pboOpaque, POINTL* pptlOrg,
                          MIX mix) {
    return Saved<PFN_DrvTextOut>(StateOf(pso), kPosTextOut)(pso, pstro, pfo, pco, prclExtra, prclOpaque,
                                                            pboFore, pboOpaque, pptlOrg, mix);
}

BOOL APIENTRY HookStrokePath(SURFOBJ* pso, PATHOBJ* ppo, CLIPOBJ* pco, XFORMOBJ* pxo, BRUSHOBJ* pbo,
                             POINTL* pptlBrushOrg, LINEATTRS* plineattrs, MIX mix) {
    return Saved<PFN_DrvStrokePath>(StateOf(pso), kPosStrokePath)(pso, ppo, pco, pxo, pbo, pptlBrushOrg,
                                                                  plineattrs, mix);
}

BOOL APIENTRY HookFillPath(SURFOBJ* pso, PATHOBJ* ppo, CLIPOBJ* pco, BRUSHOBJ* pbo, POINTL* pptlBrushOrg,
                           MIX mix, FLONG flOptions) {
    return Saved<PFN_DrvFillPath>(StateOf(pso), kPosFillPath)(pso, ppo, pco, pbo, pptlBrushOrg, mix,
                                                              flOptions);
}

BOOL APIENTRY HookStrokeAndFillPath(SURFOBJ* pso, PATHOBJ* ppo, CLIPOBJ* pco, XFORMOBJ* pxo,
                                    BRUSHOBJ* pboStroke, LINEATTRS* plineattrs, BRUSHOBJ* pboFill,
                                    POINTL* pptlBrushOrg, MIX mixFill, FLONG flOptions) {
    return Saved<PFN_DrvStrokeAndFillPath>(StateOf(pso), kPosStrokeAndFillPath)(
        pso, ppo, pco, pxo, pboStroke, plineattrs, pboFill, pptlBrushOrg, mixFill, flOptions);
}

BOOL APIENTRY HookStartPage(SURFOBJ* pso) {
    return Saved<PFN_DrvStartPage>(StateOf(pso), kPosStartPage)(pso);
}

BOOL APIENTRY HookSendPage(SURFOBJ* pso) {
    return Saved<PFN_DrvSendPage>(StateOf(pso), kPosSendPage)(pso);
}

ULONG APIENTRY HookEscape(SURFOBJ* pso, ULONG iEsc, ULONG cjIn, PVOID pvIn, ULONG cjOut, PVOID pvOut) {
    return Saved<PFN_DrvEscape>(StateOf(pso), kPosEscape)(pso, iEsc, cjIn, pvIn, cjOut, pvOut);
}

BOOL APIENTRY HookStartDoc(SURFOBJ* pso, LPWSTR pwszDocName, DWORD dwJobId) {
    DeviceHookState* state = StateOf(pso);
    // The job lookup at the head of the job finds this device's job by this
    // id; it must be in place before the driver starts writing the document.
    state->jobId = static_cast<LONG>(dwJobId);
    return Saved<PFN_DrvStartDoc>(state, kPosStartDoc)(pso, pwszDocName, dwJobId);
}

BOOL APIENTRY HookEndDoc(SURFOBJ* pso, FLONG fl) {
    return Saved<PFN_DrvEndDoc>(StateOf(pso), kPosEndDoc)(pso, fl);
}

PIFIMETRICS APIENTRY HookQueryFont(DHPDEV dhpdev, ULONG_PTR iFile, ULONG iFace, ULONG_PTR* pid) {
    return Saved<PFN_DrvQueryFont>(StateOf(dhpdev), kPosQueryFont)(dhpdev, iFile, iFace, pid);
}

PVOID APIENTRY HookQueryFontTree(DHPDEV dhpdev, ULONG_PTR iFile, ULONG iFace, ULONG iMode, ULONG_PTR* pid) {
    return Saved<PFN_DrvQueryFontTree>(StateOf(dhpdev), kPosQueryFontTree)(dhpdev, iFile, iFace, iMode, pid);
}

LONG APIENTRY HookQueryFontData(DHPDEV dhpdev, FONTOBJ* pfo, ULONG iMode, HGLYPH hg, GLYPHDATA* pgd, PVOID pv,
                                ULONG cjSize) {
    return Saved<PFN_DrvQueryFontData>(StateOf(dhpdev), kPosQueryFontData)(dhpdev, pfo, iMode, hg, pgd, pv,
                                                                           cjSize);
}

BOOL APIENTRY HookQueryAdvanceWidths(DHPDEV dhpdev, FONTOBJ* pfo, ULONG iMode, HGLYPH* phg, PVOID pvWidths,
                                     ULONG cGlyphs) {
    return Saved<PFN_DrvQueryAdvanceWidths>(StateOf(dhpdev), kPosQueryAdvanceWidths)(dhpdev, pfo, iMode, phg,
                                                                                     pvWidths, cGlyphs);
}

ULONG APIENTRY HookFontManagement(SURFOBJ* pso, FONTOBJ* pfo, ULONG iMode, ULONG cjIn, PVOID pvIn,
                                  ULONG cjOut, PVOID pvOut) {
    return Saved<PFN_DrvFontManagement>(StateOf(pso), kPosFontManagement)(pso, pfo, iMode, cjIn, pvIn, cjOut,
                                                                          pvOut);
}

ULONG APIENTRY HookGetGlyphMode(DHPDEV dhpdev, FONTOBJ* pfo) {
    return Saved<PFN_DrvGetGlyphMode>(StateOf(dhpdev), kPosGetGlyphMode)(dhpdev, pfo);
}

HANDLE APIENTRY HookIcmCreateColorTransform(DHPDEV dhpdev, LPLOGCOLORSPACEW pLogColorSpace,
                                            PVOID pvSourceProfile, ULONG cjSourceProfile, PVOID pvDestProfile,
                                            ULONG cjDestProfile, PVOID pvTargetProfile, ULONG cjTargetProfile,
                                            DWORD dwReserved) {
    return Saved<PFN_DrvIcmCreateColorTransform>(StateOf(dhpdev), kPosIcmCreateColorTransform)(
        dhpdev, pLogColorSpace, pvSourceProfile, cjSourceProfile, pvDestProfile, cjDestProfile,
        pvTargetProfile, cjTargetProfile, dwReserved);
}

BOOL APIENTRY HookIcmDeleteColorTransform(DHPDEV dhpdev, HANDLE hcmXform) {
    return Saved<PFN_DrvIcmDeleteColorTransform>(StateOf(dhpdev), kPosIcmDeleteColorTransform)(dhpdev,
                                                                                               hcmXform);
}

BOOL APIENTRY HookQueryDeviceSupport(SURFOBJ* pso, XLATEOBJ* pxlo, XFORMOBJ* pxo, ULONG iType, ULONG cjIn,
                                     PVOID pvIn, ULONG cjOut, PVOID pvOut) {
    return Saved<PFN_DrvQueryDeviceSupport>(StateOf(pso), kPosQueryDeviceSupport)(pso, pxlo, pxo, iType, cjIn,
                                                                                  pvIn, cjOut, pvOut);
}

// Stand-ins for the functions a driver does not offer. Each reports the
// failure result of its DDI function and touches nothing; the parameter types
// are taken from the DDI function's type where the stand-in is stored.
namespace {

template <auto kFailure, typename Result, typename... Parameters>
Result APIENTRY MissingFunction(Parameters...) {
    return static_cast<Result>(kFailure);
}

// Each stand-in is instantiated for the exact type of its position's
// function; the cast is a macro, so the table needs no start-up code.
#define KLV_STAND_IN(Name, index, position, failure)                                                         \
    KLV_FUNCTION_CAST(PFN, static_cast<PFN_Drv##Name>(&MissingFunction<failure>)),

const PFN kMissingFunctions[] = {KLV_HOOKED_DDI_FUNCTIONS(KLV_STAND_IN)};
static_assert(std::size(kMissingFunctions) == kHookCount);

#undef KLV_STAND_IN

} // namespace

PFN MissingDriverFunction(unsigned position) {
    return position < kHookCount ? kMissingFunctions[position] : nullptr;
}

} // namespace klv
