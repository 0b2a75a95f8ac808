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
