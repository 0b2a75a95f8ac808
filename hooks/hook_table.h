// The hooked DDI functions: their positions in the hook table (and in
// DeviceHookState::savedFunctions), their function-pointer types, the hooks
// themselves and the stand-ins saved for functions the driver does not offer.
#pragma once

#include "hooks/device_state.h"
#include "platform/printoem.h"

namespace klv {

// Position of each hooked function in HookTable and savedFunctions.
enum HookPosition : unsigned {
    kPosRealizeBrush = 0,
    kPosCopyBits = 1,
    kPosBitBlt = 2,
    kPosStretchBlt = 3,
    kPosStretchBltROP = 4,
    kPosPlgBlt = 5,
    kPosTransparentBlt = 6,
    kPosAlphaBlend = 7,
    kPosGradientFill = 8,
    kPosTextOut = 9,
    kPosStrokePath = 10,
    kPosFillPath = 11,
    kPosStrokeAndFillPath = 12,
    kPosStartPage = 13,
    kPosSendPage = 14,
    kPosEscape = 15,
    kPosStartDoc = 16,
    kPosEndDoc = 17,
    kPosQueryFont = 18,
    kPosQueryFontTree = 19,
    kPosQueryFontData = 20,
    kPosQueryAdvanceWidths = 21,
    kPosFontManagement = 22,
    kPosGetGlyphMode = 23,
    kPosIcmCreateColorTransform = 24,
    kPosIcmDeleteColorTransform = 25,
    kPosQueryDeviceSupport = 26,
};

// The DDI functions' own types.
using PFN_DrvRealizeBrush = BOOL(APIENTRY*)(BRUSHOBJ*, SURFOBJ*, SURFOBJ*, SURFOBJ*, XLATEOBJ*, ULONG);
using PFN_DrvCopyBits = BOOL(APIENTRY*)(SURFOBJ*, SURFOBJ*, CLIPOBJ*, XLATEOBJ*, RECTL*, POINTL*);
using PFN_DrvBitBlt = BOOL(APIENTRY*)(SURFOBJ*, SURFOBJ*, SURFOBJ*, CLIPOBJ*, XLATEOBJ*, RECTL*, POINTL*,
                                      POINTL*, BRUSHOBJ*, POINTL*, ROP4);
using PFN_DrvStretchBlt = BOOL(APIENTRY*)(SURFOBJ*, SURFOBJ*, SURFOBJ*, CLIPOBJ*, XLATEOBJ*, COLORADJUSTMENT*,
                                          POINTL*, RECTL*, RECTL*, POINTL*, ULONG);
using PFN_DrvStretchBltROP = BOOL(APIENTRY*)(SURFOBJ*, SURFOBJ*, SURFOBJ*, CLIPOBJ*, XLATEOBJ*,
                                             COLORADJUSTMENT*, POINTL*, RECTL*, RECTL*, POINTL*, ULONG,
                                             BRUSHOBJ*, DWORD);
using PFN_DrvPlgBlt = BOOL(APIENTRY*)(SURFOBJ*, SURFOBJ*, SURFOBJ*, CLIPOBJ*, XLATEOBJ*, COLORADJUSTMENT*,
                                      POINTL*, POINTFIX*, RECTL*, POINTL*, ULONG);
using PFN_DrvTransparentBlt = BOOL(APIENTRY*)(SURFOBJ*, SURFOBJ*, CLIPOBJ*, XLATEOBJ*, RECTL*, RECTL*, ULONG,
                                              ULONG);
using PFN_DrvAlphaBlend = BOOL(APIENTRY*)(SURFOBJ*, SURFOBJ*, CLIPOBJ*, XLATEOBJ*, RECTL*, RECTL*, BLENDOBJ*);
using PFN_DrvGradientFill = BOOL(APIENTRY*)(SURFOBJ*, CLIPOBJ*, XLATEOBJ*, TRIVERTEX*, ULONG, PVOID, ULONG,
                                            RECTL*, POINTL*, ULONG);
using PFN_DrvTextOut = BOOL(APIENTRY*)(SURFOBJ*, STROBJ*, FONTOBJ*, CLIPOBJ*, RECTL*, RECTL*, BRUSHOBJ*,
                                       BRUSHOBJ*, POINTL*, MIX);
using PFN_DrvStrokePath = BOOL(APIENTRY*)(SURFOBJ*, PATHOBJ*, CLIPOBJ*, XFORMOBJ*, BRUSHOBJ*, POINTL*,
                                          LINEATTRS*, MIX);
using PFN_DrvFillPath = BOOL(APIENTRY*)(SURFOBJ*, PATHOBJ*, CLIPOBJ*, BRUSHOBJ*, POINTL*, MIX, FLONG);
using PFN_DrvStrokeAndFillPath = BOOL(APIENTRY*)(SURFOBJ*, PATHOBJ*, CLIPOBJ*, XFORMOBJ*, BRUSHOBJ*,
                                                 LINEATTRS*, BRUSHOBJ*, POINTL*, MIX, FLONG);
using PFN_DrvStartPage = BOOL(APIENTRY*)(SURFOBJ*);
using PFN_DrvSendPage = BOOL(APIENTRY*)(SURFOBJ*);
using PFN_DrvEscape = ULONG(APIENTRY*)(SURFOBJ*, ULONG, ULONG, PVOID, ULONG, PVOID);
using PFN_DrvStartDoc = BOOL(APIENTRY*)(SURFOBJ*, LPWSTR, DWORD);
using PFN_DrvEndDoc = BOOL(APIENTRY*)(SURFOBJ*, FLONG);
using PFN_DrvQueryFont = PIFIMETRICS(APIENTRY*)(DHPDEV, ULONG_PTR, ULONG, ULONG_PTR*);
using PFN_DrvQueryFontTree = PVOID(APIENTRY*)(DHPDEV, ULONG_PTR, ULONG, ULONG, ULONG_PTR*);
using PFN_DrvQueryFontData = LONG(APIENTRY*)(DHPDEV, FONTOBJ*, ULONG, HGLYPH, GLYPHDATA*, PVOID, ULONG);
using PFN_DrvQueryAdvanceWidths = BOOL(APIENTRY*)(DHPDEV, FONTOBJ*, ULONG, HGLYPH*, PVOID, ULONG);
using PFN_DrvFontManagement = ULONG(APIENTRY*)(SURFOBJ*, FONTOBJ*, ULONG, ULONG, PVOID, ULONG, PVOID);
using PFN_DrvGetGlyphMode = ULONG(APIENTRY*)(DHPDEV, FONTOBJ*);
using PFN_DrvIcmCreateColorTransform = HANDLE(APIENTRY*)(DHPDEV, LPLOGCOLORSPACEW, PVOID, ULONG, PVOID, ULONG,
                                                         PVOID, ULONG, DWORD);
using PFN_DrvIcmDeleteColorTransform = BOOL(APIENTRY*)(DHPDEV, HANDLE);
using PFN_DrvQueryDeviceSupport = BOOL(APIENTRY*)(SURFOBJ*, XLATEOBJ*, XFORMOBJ*, ULONG, ULONG, PVOID, ULONG,
                                                  PVOID);

// Function addresses cross DRVFN records and savedFunctions as PFN. The step
// through void (*)() is the generic function pointer type that compilers
// accept in casts to and from any other function type without warning.
template <typename Fn> inline PFN ToPfn(Fn fn) {
    return reinterpret_cast<PFN>(reinterpret_cast<void (*)()>(fn));
}
template <typename Fn> inline Fn FromPfn(PFN pfn) {
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(pfn));
}

// What DrvQueryFontData reports on failure.
constexpr LONG kFontDataError = static_cast<LONG>(0xFFFFFFFFu);

// The table handed to the driver at EnableDriver, in position order.
extern const DRVFN HookTable[kHookCount];

// The function saved for a position the driver did not offer: it has the
// prototype of that position's DDI function, touches none of its arguments
// and returns the function's failure result.
PFN MissingDriverFunction(unsigned position);

// The hooks. Each forwards to the device's saved function of its own
// position, except HookRealizeBrush, which answers TRUE itself.
BOOL APIENTRY HookRealizeBrush(BRUSHOBJ* pbo, SURFOBJ* psoTarget, SURFOBJ* psoPattern, SURFOBJ* psoMask,
                               XLATEOBJ* pxlo, ULONG iHatch);
BOOL APIENTRY HookCopyBits(SURFOBJ* psoDest, SURFOBJ* psoSrc, CLIPOBJ* pco, XLATEOBJ* pxlo, RECTL* prclDest,
                           POINTL* pptlSrc);
BOOL APIENTRY HookBitBlt(SURFOBJ* psoTrg, SURFOBJ* psoSrc, SURFOBJ* psoMask, CLIPOBJ* pco, XLATEOBJ* pxlo,
                         RECTL* prclTrg, POINTL* pptlSrc, POINTL* pptlMask, BRUSHOBJ* pbo, POINTL* pptlBrush,
                         ROP4 rop4);
BOOL APIENTRY HookStretchBlt(SURFOBJ* psoDest, SURFOBJ* psoSrc, SURFOBJ* psoMask, CLIPOBJ* pco,
                             XLATEOBJ* pxlo, COLORADJUSTMENT* pca, POINTL* pptlHTOrg, RECTL* prclDest,
                             RECTL* prclSrc, POINTL* pptlMask, ULONG iMode);
BOOL APIENTRY HookStretchBltROP(SURFOBJ* psoDest, SURFOBJ* psoSrc, SURFOBJ* psoMask, CLIPOBJ* pco,
                                XLATEOBJ* pxlo, COLORADJUSTMENT* pca, POINTL* pptlHTOrg, RECTL* prclDest,
                                RECTL* prclSrc, POINTL* pptlMask, ULONG iMode, BRUSHOBJ* pbo, DWORD rop4);
BOOL APIENTRY HookPlgBlt(SURFOBJ* psoTrg, SURFOBJ* psoSrc, SURFOBJ* psoMsk, CLIPOBJ* pco, XLATEOBJ* pxlo,
                         COLORADJUSTMENT* pca, POINTL* pptlBrushOrg, POINTFIX* pptfx, RECTL* prcl,
                         POINTL* pptl, ULONG iMode);
BOOL APIENTRY HookTransparentBlt(SURFOBJ* psoDst, SURFOBJ* psoSrc, CLIPOBJ* pco, XLATEOBJ* pxlo,
                                 RECTL* prclDst, RECTL* prclSrc, ULONG iTransColor, ULONG ulReserved);
BOOL APIENTRY HookAlphaBlend(SURFOBJ* psoDest, SURFOBJ* psoSrc, CLIPOBJ* pco, XLATEOBJ* pxlo, RECTL* prclDest,
                             RECTL* prclSrc, BLENDOBJ* pBlendObj);
BOOL APIENTRY HookGradientFill(SURFOBJ* psoDest, CLIPOBJ* pco, XLATEOBJ* pxlo, TRIVERTEX* pVertex,
                               ULONG nVertex, PVOID pMesh, ULONG nMesh, RECTL* prclExtents,
                               POINTL* pptlDitherOrg, ULONG ulMode);
BOOL APIENTRY HookTextOut(SURFOBJ* pso, STROBJ* pstro, FONTOBJ* pfo, CLIPOBJ* pco, RECTL* prclExtra,
                          RECTL* prclOpaque, BRUSHOBJ* pboFore, BRUSHOBJ* pboOpaque, POINTL* pptlOrg,
                          MIX mix);
BOOL APIENTRY HookStrokePath(SURFOBJ* pso, PATHOBJ* ppo, CLIPOBJ* pco, XFORMOBJ* pxo, BRUSHOBJ* pbo,
                             POINTL* pptlBrushOrg, LINEATTRS* plineattrs, MIX mix);
BOOL APIENTRY HookFillPath(SURFOBJ* pso, PATHOBJ* ppo, CLIPOBJ* pco, BRUSHOBJ* pbo, POINTL* pptlBrushOrg,
                           MIX mix, FLONG flOptions);
BOOL APIENTRY HookStrokeAndFillPath(SURFOBJ* pso, PATHOBJ* ppo, CLIPOBJ* pco, XFORMOBJ* pxo,
                                    BRUSHOBJ* pboStroke, LINEATTRS* plineattrs, BRUSHOBJ* pboFill,
                                    POINTL* pptlBrushOrg, MIX mixFill, FLONG flOptions);
BOOL APIENTRY HookStartPage(SURFOBJ* pso);
BOOL APIENTRY HookSendPage(SURFOBJ* pso);
ULONG APIENTRY HookEscape(SURFOBJ* pso, ULONG iEsc, ULONG cjIn, PVOID pvIn, ULONG cjOut, PVOID pvOut);
BOOL APIENTRY HookStartDoc(SURFOBJ* pso, LPWSTR pwszDocName, DWORD dwJobId);
BOOL APIENTRY HookEndDoc(SURFOBJ* pso, FLONG fl);
PIFIMETRICS APIENTRY HookQueryFont(DHPDEV dhpdev, ULONG_PTR iFile, ULONG iFace, ULONG_PTR* pid);
PVOID APIENTRY HookQueryFontTree(DHPDEV dhpdev, ULONG_PTR iFile, ULONG iFace, ULONG iMode, ULONG_PTR* pid);
LONG APIENTRY HookQueryFontData(DHPDEV dhpdev, FONTOBJ* pfo, ULONG iMode, HGLYPH hg, GLYPHDATA* pgd, PVOID pv,
                                ULONG cjSize);
BOOL APIENTRY HookQueryAdvanceWidths(DHPDEV dhpdev, FONTOBJ* pfo, ULONG iMode, HGLYPH* phg, PVOID pvWidths,
                                     ULONG cGlyphs);
ULONG APIENTRY HookFontManagement(SURFOBJ* pso, FONTOBJ* pfo, ULONG iMode, ULONG cjIn, PVOID pvIn,
                                  ULONG cjOut, PVOID pvOut);
ULONG APIENTRY HookGetGlyphMode(DHPDEV dhpdev, FONTOBJ* pfo);
HANDLE APIENTRY HookIcmCreateColorTransform(DHPDEV dhpdev, LPLOGCOLORSPACEW pLogColorSpace,
                                            PVOID pvSourceProfile, ULONG cjSourceProfile, PVOID pvDestProfile,
                                            ULONG cjDestProfile, PVOID pvTargetProfile, ULONG cjTargetProfile,
                                            DWORD dwReserved);
BOOL APIENTRY HookIcmDeleteColorTransform(DHPDEV dhpdev, HANDLE hcmXform);
BOOL APIENTRY HookQueryDeviceSupport(SURFOBJ* pso, XLATEOBJ* pxlo, XFORMOBJ* pxo, ULONG iType, ULONG cjIn,
                                     PVOID pvIn, ULONG cjOut, PVOID pvOut);

} // namespace klv
