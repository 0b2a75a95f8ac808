// The 27 drawing hooks and the stand-ins for functions a driver leaves out.
//
// Every hook sits on the driver's drawing path, so each is a bare
// forwarding step: reach the device's DeviceHookState (through the
// surface's dhpdev or the device handle itself), load the saved function of
// its own position and call it with the unchanged arguments. Nothing is
// checked on this path: a slot the driver did not fill holds a stand-in,
// never null, and the driver enables the device before any drawing call.
#include "hooks/hook_table.h"

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
    return FromPfn<Fn>(state->savedFunctions[position]);
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
// failure result of its DDI function and touches nothing.
namespace {

BOOL APIENTRY MissingRealizeBrush(BRUSHOBJ*, SURFOBJ*, SURFOBJ*, SURFOBJ*, XLATEOBJ*, ULONG) {
    return FALSE;
}
BOOL APIENTRY MissingCopyBits(SURFOBJ*, SURFOBJ*, CLIPOBJ*, XLATEOBJ*, RECTL*, POINTL*) {
    return FALSE;
}
BOOL APIENTRY MissingBitBlt(SURFOBJ*, SURFOBJ*, SURFOBJ*, CLIPOBJ*, XLATEOBJ*, RECTL*, POINTL*, POINTL*,
                            BRUSHOBJ*, POINTL*, ROP4) {
    return FALSE;
}
BOOL APIENTRY MissingStretchBlt(SURFOBJ*, SURFOBJ*, SURFOBJ*, CLIPOBJ*, XLATEOBJ*, COLORADJUSTMENT*, POINTL*,
                                RECTL*, RECTL*, POINTL*, ULONG) {
    return FALSE;
}
BOOL APIENTRY MissingStretchBltROP(SURFOBJ*, SURFOBJ*, SURFOBJ*, CLIPOBJ*, XLATEOBJ*, COLORADJUSTMENT*,
                                   POINTL*, RECTL*, RECTL*, POINTL*, ULONG, BRUSHOBJ*, DWORD) {
    return FALSE;
}
BOOL APIENTRY MissingPlgBlt(SURFOBJ*, SURFOBJ*, SURFOBJ*, CLIPOBJ*, XLATEOBJ*, COLORADJUSTMENT*, POINTL*,
                            POINTFIX*, RECTL*, POINTL*, ULONG) {
    return FALSE;
}
BOOL APIENTRY MissingTransparentBlt(SURFOBJ*, SURFOBJ*, CLIPOBJ*, XLATEOBJ*, RECTL*, RECTL*, ULONG, ULONG) {
    return FALSE;
}
BOOL APIENTRY MissingAlphaBlend(SURFOBJ*, SURFOBJ*, CLIPOBJ*, XLATEOBJ*, RECTL*, RECTL*, BLENDOBJ*) {
    return FALSE;
}
BOOL APIENTRY MissingGradientFill(SURFOBJ*, CLIPOBJ*, XLATEOBJ*, TRIVERTEX*, ULONG, PVOID, ULONG, RECTL*,
                                  POINTL*, ULONG) {
    return FALSE;
}
BOOL APIENTRY MissingTextOut(SURFOBJ*, STROBJ*, FONTOBJ*, CLIPOBJ*, RECTL*, RECTL*, BRUSHOBJ*, BRUSHOBJ*,
                             POINTL*, MIX) {
    return FALSE;
}
BOOL APIENTRY MissingStrokePath(SURFOBJ*, PATHOBJ*, CLIPOBJ*, XFORMOBJ*, BRUSHOBJ*, POINTL*, LINEATTRS*,
                                MIX) {
    return FALSE;
}
BOOL APIENTRY MissingFillPath(SURFOBJ*, PATHOBJ*, CLIPOBJ*, BRUSHOBJ*, POINTL*, MIX, FLONG) {
    return FALSE;
}
BOOL APIENTRY MissingStrokeAndFillPath(SURFOBJ*, PATHOBJ*, CLIPOBJ*, XFORMOBJ*, BRUSHOBJ*, LINEATTRS*,
                                       BRUSHOBJ*, POINTL*, MIX, FLONG) {
    return FALSE;
}
BOOL APIENTRY MissingStartPage(SURFOBJ*) {
    return FALSE;
}
BOOL APIENTRY MissingSendPage(SURFOBJ*) {
    return FALSE;
}
ULONG APIENTRY MissingEscape(SURFOBJ*, ULONG, ULONG, PVOID, ULONG, PVOID) {
    return 0;
}
BOOL APIENTRY MissingStartDoc(SURFOBJ*, LPWSTR, DWORD) {
    return FALSE;
}
BOOL APIENTRY MissingEndDoc(SURFOBJ*, FLONG) {
    return FALSE;
}
PIFIMETRICS APIENTRY MissingQueryFont(DHPDEV, ULONG_PTR, ULONG, ULONG_PTR*) {
    return nullptr;
}
PVOID APIENTRY MissingQueryFontTree(DHPDEV, ULONG_PTR, ULONG, ULONG, ULONG_PTR*) {
    return nullptr;
}
LONG APIENTRY MissingQueryFontData(DHPDEV, FONTOBJ*, ULONG, HGLYPH, GLYPHDATA*, PVOID, ULONG) {
    return kFontDataError;
}
BOOL APIENTRY MissingQueryAdvanceWidths(DHPDEV, FONTOBJ*, ULONG, HGLYPH*, PVOID, ULONG) {
    return FALSE;
}
ULONG APIENTRY MissingFontManagement(SURFOBJ*, FONTOBJ*, ULONG, ULONG, PVOID, ULONG, PVOID) {
    return 0;
}
ULONG APIENTRY MissingGetGlyphMode(DHPDEV, FONTOBJ*) {
    return 0;
}
HANDLE APIENTRY MissingIcmCreateColorTransform(DHPDEV, LPLOGCOLORSPACEW, PVOID, ULONG, PVOID, ULONG, PVOID,
                                               ULONG, DWORD) {
    return nullptr;
}
BOOL APIENTRY MissingIcmDeleteColorTransform(DHPDEV, HANDLE) {
    return FALSE;
}
BOOL APIENTRY MissingQueryDeviceSupport(SURFOBJ*, XLATEOBJ*, XFORMOBJ*, ULONG, ULONG, PVOID, ULONG, PVOID) {
    return FALSE;
}

// Each stand-in is taken with the exact type of its position's function, so
// a prototype that drifts from the DDI's fails to compile here; the casts are
// written out in place so that the table needs no start-up code.
#define KLV_STAND_IN(Name)                                                                                   \
    reinterpret_cast<PFN>(reinterpret_cast<void (*)()>(static_cast<PFN_Drv##Name>(&Missing##Name)))

const PFN kMissingFunctions[kHookCount] = {
    KLV_STAND_IN(RealizeBrush),
    KLV_STAND_IN(CopyBits),
    KLV_STAND_IN(BitBlt),
    KLV_STAND_IN(StretchBlt),
    KLV_STAND_IN(StretchBltROP),
    KLV_STAND_IN(PlgBlt),
    KLV_STAND_IN(TransparentBlt),
    KLV_STAND_IN(AlphaBlend),
    KLV_STAND_IN(GradientFill),
    KLV_STAND_IN(TextOut),
    KLV_STAND_IN(StrokePath),
    KLV_STAND_IN(FillPath),
    KLV_STAND_IN(StrokeAndFillPath),
    KLV_STAND_IN(StartPage),
    KLV_STAND_IN(SendPage),
    KLV_STAND_IN(Escape),
    KLV_STAND_IN(StartDoc),
    KLV_STAND_IN(EndDoc),
    KLV_STAND_IN(QueryFont),
    KLV_STAND_IN(QueryFontTree),
    KLV_STAND_IN(QueryFontData),
    KLV_STAND_IN(QueryAdvanceWidths),
    KLV_STAND_IN(FontManagement),
    KLV_STAND_IN(GetGlyphMode),
    KLV_STAND_IN(IcmCreateColorTransform),
    KLV_STAND_IN(IcmDeleteColorTransform),
    KLV_STAND_IN(QueryDeviceSupport),
};

#undef KLV_STAND_IN

} // namespace

PFN MissingDriverFunction(unsigned position) {
    return position < kHookCount ? kMissingFunctions[position] : nullptr;
}

} // namespace klv
