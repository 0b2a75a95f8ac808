// Records, handle types and function numbers of the graphics driver
// interface (DDI) that the plug-in touches. The toolchain's own winddi.h
// cannot be used (it needs headers the toolchain lacks), so these are
// declared here, laid out as the platform documents them on 32 and 64 bits.
#pragma once

#include "platform/win32.h"

#include <cstddef>

#if !defined(_WIN32)
struct DEVMODEW;
struct LOGCOLORSPACEW;
using LPLOGCOLORSPACEW = LOGCOLORSPACEW*;
struct COLORADJUSTMENT;
struct TRIVERTEX;
#endif

// Handles the engine and the driver pass around; opaque to the plug-in.
#define KLV_DECLARE_DDI_HANDLE(name)                                                                         \
    struct name##__;                                                                                         \
    using name = name##__*
KLV_DECLARE_DDI_HANDLE(HDEV);
KLV_DECLARE_DDI_HANDLE(HSURF);
KLV_DECLARE_DDI_HANDLE(DHSURF);
KLV_DECLARE_DDI_HANDLE(DHPDEV);
#undef KLV_DECLARE_DDI_HANDLE

using LDECI4 = LONG;
using FIX = LONG;
using ROP4 = ULONG;
using MIX = ULONG;
using HGLYPH = ULONG;
using PFN = LONG_PTR(APIENTRY*)();

// Engine objects handed to drawing calls; the plug-in only passes them on.
struct BRUSHOBJ;
struct CLIPOBJ;
struct XLATEOBJ;
struct STROBJ;
struct FONTOBJ;
struct PATHOBJ;
struct XFORMOBJ;
struct LINEATTRS;
struct BLENDOBJ;
struct GLYPHDATA;
struct IFIMETRICS;
struct DEVINFO;
using PIFIMETRICS = IFIMETRICS*;

struct POINTFIX {
    FIX x;
    FIX y;
};

struct DRVFN {
    ULONG iFunc;
    PFN pfn;
};

struct DRVENABLEDATA {
    ULONG iDriverVersion;
    ULONG c;
    DRVFN* pdrvfn;
};

struct CIECHROMA {
    LDECI4 x;
    LDECI4 y;
    LDECI4 Y;
};

struct COLORINFO {
    CIECHROMA Red, Green, Blue, Cyan, Magenta, Yellow, AlignmentWhite;
    LDECI4 RedGamma, GreenGamma, BlueGamma;
    LDECI4 MagentaInCyanDye, YellowInCyanDye, CyanInMagentaDye;
    LDECI4 YellowInMagentaDye, CyanInYellowDye, MagentaInYellowDye;
};

struct GDIINFO {
    ULONG ulVersion;
    ULONG ulTechnology;
    ULONG ulHorzSize;
    ULONG ulVertSize;
    ULONG ulHorzRes;
    ULONG ulVertRes;
    ULONG cBitsPixel;
    ULONG cPlanes;
    ULONG ulNumColors;
    ULONG flRaster;
    ULONG ulLogPixelsX;
    ULONG ulLogPixelsY;
    ULONG flTextCaps;
    ULONG ulDACRed;
    ULONG ulDACGreen;
    ULONG ulDACBlue;
    ULONG ulAspectX;
    ULONG ulAspectY;
    ULONG ulAspectXY;
    LONG xStyleStep;
    LONG yStyleStep;
    LONG denStyleStep;
    POINTL ptlPhysOffset;
    SIZEL szlPhysSize;
    ULONG ulNumPalReg;
    COLORINFO ciDevice;
    ULONG ulDevicePelsDPI;
    ULONG ulPrimaryOrder;
    ULONG ulHTPatternSize;
    ULONG ulHTOutputFormat;
    ULONG flHTFlags;
    ULONG ulVRefresh;
    ULONG ulBltAlignment;
    ULONG ulPanningHorzRes;
    ULONG ulPanningVertRes;
    ULONG xPanningAlignment;
    ULONG yPanningAlignment;
    ULONG cxHTPat;
    ULONG cyHTPat;
    LPBYTE pHTPatA;
    LPBYTE pHTPatB;
    LPBYTE pHTPatC;
    ULONG flShadeBlend;
    ULONG ulPhysicalPixelCharacteristics;
    ULONG ulPhysicalPixelGamma;
};

struct SURFOBJ {
    DHSURF dhsurf;
    HSURF hsurf;
    DHPDEV dhpdev;
    HDEV hdev;
    SIZEL sizlBitmap;
    ULONG cjBits;
    PVOID pvBits;
    PVOID pvScan0;
    LONG lDelta;
    ULONG iUniq;
    ULONG iBitmapFormat;
    USHORT iType;
    USHORT fjBitmap;
};

// Surface types (SURFOBJ.iType).
#define STYPE_BITMAP 0L
#define STYPE_DEVICE 1L
#define STYPE_DEVBITMAP 3L

// What DrvQueryFontData, and other DDI functions that return a count, report
// on failure.
#define DDI_ERROR 0xFFFFFFFF

// DDI function numbers of the hooked calls.
enum : ULONG {
    INDEX_DrvRealizeBrush = 12,
    INDEX_DrvStrokePath = 14,
    INDEX_DrvFillPath = 15,
    INDEX_DrvStrokeAndFillPath = 16,
    INDEX_DrvBitBlt = 18,
    INDEX_DrvCopyBits = 19,
    INDEX_DrvStretchBlt = 20,
    INDEX_DrvTextOut = 23,
    INDEX_DrvEscape = 24,
    INDEX_DrvQueryFont = 26,
    INDEX_DrvQueryFontTree = 27,
    INDEX_DrvQueryFontData = 28,
    INDEX_DrvSendPage = 32,
    INDEX_DrvStartPage = 33,
    INDEX_DrvEndDoc = 34,
    INDEX_DrvStartDoc = 35,
    INDEX_DrvGetGlyphMode = 37,
    INDEX_DrvFontManagement = 47,
    INDEX_DrvQueryAdvanceWidths = 53,
    INDEX_DrvIcmCreateColorTransform = 64,
    INDEX_DrvIcmDeleteColorTransform = 65,
    INDEX_DrvGradientFill = 68,
    INDEX_DrvStretchBltROP = 69,
    INDEX_DrvPlgBlt = 70,
    INDEX_DrvAlphaBlend = 71,
    INDEX_DrvTransparentBlt = 74,
    INDEX_DrvQueryDeviceSupport = 76,
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

// Converts a function pointer to another function pointer type, as function
// addresses cross DRVFN records (typed PFN) and tables of saved functions.
// The step through void (*)(), the generic function pointer type, is one
// that compilers accept between any two function types without a warning.
// A macro rather than a function, so that a table initialised with it is
// still laid out by the compiler as constant data, with no start-up code.
#define KLV_FUNCTION_CAST(To, ...) reinterpret_cast<To>(reinterpret_cast<void (*)()>(__VA_ARGS__))

// Layouts as the platform documents them, on both word sizes.
constexpr bool kWide = sizeof(void*) == 8;
static_assert(sizeof(POINTL) == 8 && sizeof(SIZEL) == 8 && sizeof(RECTL) == 16);
static_assert(sizeof(DRVFN) == (kWide ? 16 : 8));
static_assert(offsetof(DRVFN, pfn) == (kWide ? 8 : 4));
static_assert(sizeof(DRVENABLEDATA) == (kWide ? 16 : 12));
static_assert(offsetof(DRVENABLEDATA, c) == 4);
static_assert(offsetof(DRVENABLEDATA, pdrvfn) == 8);
static_assert(sizeof(COLORINFO) == 120);
static_assert(offsetof(GDIINFO, ulHorzSize) == 8);
static_assert(offsetof(GDIINFO, ulVertSize) == 12);
static_assert(offsetof(GDIINFO, ulHorzRes) == 16);
static_assert(offsetof(GDIINFO, ulVertRes) == 20);
static_assert(offsetof(GDIINFO, ulLogPixelsX) == 40);
static_assert(offsetof(GDIINFO, ulLogPixelsY) == 44);
static_assert(offsetof(GDIINFO, ptlPhysOffset) == 88);
static_assert(offsetof(GDIINFO, szlPhysSize) == 96);
static_assert(offsetof(GDIINFO, ciDevice) == 108);
static_assert(offsetof(GDIINFO, pHTPatA) == 280);
static_assert(sizeof(GDIINFO) == (kWide ? 320 : 304));
static_assert(offsetof(SURFOBJ, dhpdev) == (kWide ? 16 : 8));
static_assert(offsetof(SURFOBJ, sizlBitmap) == (kWide ? 32 : 16));
static_assert(sizeof(SURFOBJ) == (kWide ? 80 : 52));
