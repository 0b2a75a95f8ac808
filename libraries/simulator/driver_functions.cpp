// The driver's own drawing functions as the engine calls them, with the
// engine's prototypes. Each finds its session through the surface, checks
// that the surface is the device's, and hands the call to the session's
// DriverFunctions.
#include "libraries/simulator/session_internal.h"

#include "hooks/hook_list.h"

#include <cstring>
#include <iterator>

namespace klv::sim {

namespace {

// The session behind a device handle, when the device is one a session
// made; counts the call that reached the driver.
DriverSession::State* SessionOfDevice(DHPDEV device, ULONG index) {
    if (device == nullptr)
        return nullptr;
    auto* record = reinterpret_cast<DeviceRecord*>(device);
    if (record->magic != kDeviceMagic || record->owner == nullptr)
        return nullptr;
    ++record->owner->log.ownCalls[index];
    return record->owner;
}

// The session behind a surface, as SessionOfDevice; the surface must be
// the device's own.
DriverSession::State* SessionOfSurface(SURFOBJ* surface, ULONG index) {
    if (surface == nullptr)
        return nullptr;
    DriverSession::State* s = SessionOfDevice(surface->dhpdev, index);
    if (s != nullptr && surface != &s->surface)
        s->Fault(DdiName(index) + " received a surface that is not the device's");
    return s;
}

// The image a source surface holds: 8-bit gray rows lDelta bytes apart.
bool ImageOfSurface(const SURFOBJ* source, GrayImage* image) {
    if (source == nullptr || source->pvScan0 == nullptr || source->sizlBitmap.cx <= 0 ||
        source->sizlBitmap.cy <= 0 || source->lDelta < source->sizlBitmap.cx)
        return false;
    image->width = source->sizlBitmap.cx;
    image->height = source->sizlBitmap.cy;
    image->pixels.clear();
    const auto* scan = static_cast<const std::uint8_t*>(source->pvScan0);
    for (LONG y = 0; y < image->height; ++y, scan += source->lDelta)
        image->pixels.insert(image->pixels.end(), scan, scan + image->width);
    return true;
}

ImagePlace PlaceOfRect(const RECTL& rect) {
    return ImagePlace{{rect.left, rect.top}, {rect.right, rect.top}, {rect.left, rect.bottom}};
}

// An image from a source surface to a rectangle of the device.
BOOL DrawSurface(SURFOBJ* target, SURFOBJ* source, const RECTL* rect, ULONG index) {
    DriverSession::State* s = SessionOfSurface(target, index);
    GrayImage image;
    if (s == nullptr || rect == nullptr || !ImageOfSurface(source, &image))
        return FALSE;
    return s->driver == nullptr || s->driver->DrawImage(image, PlaceOfRect(*rect));
}

BOOL APIENTRY DdiStartDoc(SURFOBJ* surface, LPWSTR docName, DWORD jobId) {
    DriverSession::State* s = SessionOfSurface(surface, INDEX_DrvStartDoc);
    if (s == nullptr)
        return FALSE;
    s->startDocName = docName != nullptr ? std::u16string(Utf16Units(docName)) : std::u16string();
    s->startDocJobId = jobId;
    return s->driver == nullptr || s->driver->StartDoc();
}

BOOL APIENTRY DdiStartPage(SURFOBJ* surface) {
    DriverSession::State* s = SessionOfSurface(surface, INDEX_DrvStartPage);
    if (s == nullptr)
        return FALSE;
    return s->driver == nullptr || s->driver->StartPage();
}

BOOL APIENTRY DdiSendPage(SURFOBJ* surface) {
    DriverSession::State* s = SessionOfSurface(surface, INDEX_DrvSendPage);
    if (s == nullptr)
        return FALSE;
    return s->driver == nullptr || s->driver->SendPage();
}

BOOL APIENTRY DdiEndDoc(SURFOBJ* surface, FLONG) {
    DriverSession::State* s = SessionOfSurface(surface, INDEX_DrvEndDoc);
    if (s == nullptr)
        return FALSE;
    return s->driver == nullptr || s->driver->EndDoc();
}

BOOL APIENTRY DdiTextOut(SURFOBJ* surface, STROBJ* string, FONTOBJ*, CLIPOBJ*, RECTL*, RECTL*, BRUSHOBJ*,
                         BRUSHOBJ*, POINTL*, MIX) {
    DriverSession::State* s = SessionOfSurface(surface, INDEX_DrvTextOut);
    if (s == nullptr || string == nullptr)
        return FALSE;
    const auto* text = reinterpret_cast<const EngineText*>(string);
    return s->driver == nullptr || s->driver->TextOut(text->text, text->origin);
}

BOOL APIENTRY DdiBitBlt(SURFOBJ* target, SURFOBJ* source, SURFOBJ*, CLIPOBJ*, XLATEOBJ*, RECTL* rect, POINTL*,
                        POINTL*, BRUSHOBJ* brush, POINTL*, ROP4 rop) {
    if (rop == kSrcCopy)
        return DrawSurface(target, source, rect, INDEX_DrvBitBlt);
    DriverSession::State* s = SessionOfSurface(target, INDEX_DrvBitBlt);
    if (s == nullptr || rect == nullptr || brush == nullptr)
        return FALSE;
    if (rop != kPatCopy) {
        s->Fault("DrvBitBlt with an unsupported raster operation");
        return FALSE;
    }
    return s->driver == nullptr || s->driver->FillRect(*rect, *reinterpret_cast<const EngineBrush*>(brush));
}

BOOL APIENTRY DdiCopyBits(SURFOBJ* target, SURFOBJ* source, CLIPOBJ*, XLATEOBJ*, RECTL* rect, POINTL*) {
    return DrawSurface(target, source, rect, INDEX_DrvCopyBits);
}

BOOL APIENTRY DdiStretchBlt(SURFOBJ* target, SURFOBJ* source, SURFOBJ*, CLIPOBJ*, XLATEOBJ*, COLORADJUSTMENT*,
                            POINTL*, RECTL* rect, RECTL*, POINTL*, ULONG) {
    return DrawSurface(target, source, rect, INDEX_DrvStretchBlt);
}

BOOL APIENTRY DdiStretchBltROP(SURFOBJ* target, SURFOBJ* source, SURFOBJ*, CLIPOBJ*, XLATEOBJ*,
                               COLORADJUSTMENT*, POINTL*, RECTL* rect, RECTL*, POINTL*, ULONG, BRUSHOBJ*,
                               DWORD rop) {
    if (rop != kSrcCopy) {
        if (DriverSession::State* s = SessionOfSurface(target, INDEX_DrvStretchBltROP))
            s->Fault("DrvStretchBltROP with an unsupported raster operation");
        return FALSE;
    }
    return DrawSurface(target, source, rect, INDEX_DrvStretchBltROP);
}

// The parallelogram's corners come in 28.4 fixed point.
BOOL APIENTRY DdiPlgBlt(SURFOBJ* target, SURFOBJ* source, SURFOBJ*, CLIPOBJ*, XLATEOBJ*, COLORADJUSTMENT*,
                        POINTL*, POINTFIX* corners, RECTL*, POINTL*, ULONG) {
    DriverSession::State* s = SessionOfSurface(target, INDEX_DrvPlgBlt);
    GrayImage image;
    if (s == nullptr || corners == nullptr || !ImageOfSurface(source, &image))
        return FALSE;
    auto pixel = [](const POINTFIX& p) { return POINTL{p.x / 16, p.y / 16}; };
    const ImagePlace place{pixel(corners[0]), pixel(corners[1]), pixel(corners[2])};
    return s->driver == nullptr || s->driver->DrawImage(image, place);
}

// The driver's images have no pixel of the transparent colour, so all of
// the image is drawn.
BOOL APIENTRY DdiTransparentBlt(SURFOBJ* target, SURFOBJ* source, CLIPOBJ*, XLATEOBJ*, RECTL* rect, RECTL*,
                                ULONG, ULONG) {
    return DrawSurface(target, source, rect, INDEX_DrvTransparentBlt);
}

// The image over white paper: each pixel moved towards white by what the
// blend leaves out.
BOOL APIENTRY DdiAlphaBlend(SURFOBJ* target, SURFOBJ* source, CLIPOBJ*, XLATEOBJ*, RECTL* rect, RECTL*,
                            BLENDOBJ* blend) {
    DriverSession::State* s = SessionOfSurface(target, INDEX_DrvAlphaBlend);
    GrayImage image;
    if (s == nullptr || rect == nullptr || blend == nullptr || !ImageOfSurface(source, &image))
        return FALSE;
    const unsigned alpha = reinterpret_cast<const EngineBlend*>(blend)->alpha;
    for (std::uint8_t& pixel : image.pixels)
        pixel = static_cast<std::uint8_t>(255 - (255 - pixel) * alpha / 255);
    return s->driver == nullptr || s->driver->DrawImage(image, PlaceOfRect(*rect));
}

BOOL APIENTRY DdiGradientFill(SURFOBJ* target, CLIPOBJ*, XLATEOBJ*, TRIVERTEX* vertices, ULONG count, PVOID,
                              ULONG, RECTL* extents, POINTL*, ULONG mode) {
    DriverSession::State* s = SessionOfSurface(target, INDEX_DrvGradientFill);
    if (s == nullptr || vertices == nullptr || count != 2 || extents == nullptr)
        return FALSE;
    if (mode != kGradientRectH) {
        s->Fault("DrvGradientFill with a mode other than horizontal rectangles");
        return FALSE;
    }
    const auto* ends = reinterpret_cast<const EngineVertex*>(vertices);
    return s->driver == nullptr || s->driver->GradientFill(*extents, ends[0].colour, ends[1].colour);
}

BOOL APIENTRY DdiStrokePath(SURFOBJ* surface, PATHOBJ* path, CLIPOBJ*, XFORMOBJ*, BRUSHOBJ* brush, POINTL*,
                            LINEATTRS* line, MIX) {
    DriverSession::State* s = SessionOfSurface(surface, INDEX_DrvStrokePath);
    if (s == nullptr || path == nullptr || brush == nullptr || line == nullptr)
        return FALSE;
    const auto* p = reinterpret_cast<const EnginePath*>(path);
    return s->driver == nullptr ||
           s->driver->StrokePath(p->points, p->closed, *reinterpret_cast<const EngineBrush*>(brush),
                                 reinterpret_cast<const EngineLine*>(line)->width);
}

BOOL APIENTRY DdiFillPath(SURFOBJ* surface, PATHOBJ* path, CLIPOBJ*, BRUSHOBJ* brush, POINTL*, MIX, FLONG) {
    DriverSession::State* s = SessionOfSurface(surface, INDEX_DrvFillPath);
    if (s == nullptr || path == nullptr || brush == nullptr)
        return FALSE;
    return s->driver == nullptr || s->driver->FillPath(reinterpret_cast<const EnginePath*>(path)->points,
                                                       *reinterpret_cast<const EngineBrush*>(brush));
}

BOOL APIENTRY DdiStrokeAndFillPath(SURFOBJ* surface, PATHOBJ* path, CLIPOBJ*, XFORMOBJ*, BRUSHOBJ* stroke,
                                   LINEATTRS* line, BRUSHOBJ* fill, POINTL*, MIX, FLONG) {
    DriverSession::State* s = SessionOfSurface(surface, INDEX_DrvStrokeAndFillPath);
    if (s == nullptr || path == nullptr || stroke == nullptr || line == nullptr || fill == nullptr)
        return FALSE;
    return s->driver == nullptr ||
           s->driver->StrokeAndFillPath(reinterpret_cast<const EnginePath*>(path)->points,
                                        *reinterpret_cast<const EngineBrush*>(stroke),
                                        reinterpret_cast<const EngineLine*>(line)->width,
                                        *reinterpret_cast<const EngineBrush*>(fill));
}

// The escapes: whether an escape is supported, and the application's
// bytes passed through to the printer (a 16-bit count, then the bytes).
ULONG APIENTRY DdiEscape(SURFOBJ* surface, ULONG escape, ULONG inSize, PVOID in, ULONG, PVOID) {
    DriverSession::State* s = SessionOfSurface(surface, INDEX_DrvEscape);
    if (s == nullptr || in == nullptr)
        return 0;
    if (escape == kEscQueryEscSupport && inSize >= sizeof(ULONG)) {
        ULONG asked = 0;
        std::memcpy(&asked, in, sizeof asked);
        return asked == kEscPassthrough || asked == kEscQueryEscSupport ? 1 : 0;
    }
    if (escape != kEscPassthrough || inSize < sizeof(USHORT))
        return 0;
    USHORT count = 0;
    std::memcpy(&count, in, sizeof count);
    if (count > inSize - sizeof(USHORT))
        return 0;
    const std::string_view bytes(static_cast<const char*>(in) + sizeof(USHORT), count);
    return s->driver == nullptr || s->driver->Passthrough(bytes) ? count : 0;
}

PIFIMETRICS APIENTRY DdiQueryFont(DHPDEV device, ULONG_PTR, ULONG face, ULONG_PTR* id) {
    if (SessionOfDevice(device, INDEX_DrvQueryFont) == nullptr || face != 1)
        return nullptr;
    if (id != nullptr)
        *id = 0;
    return reinterpret_cast<PIFIMETRICS>(const_cast<DeviceFont*>(&kDeviceFont));
}

PVOID APIENTRY DdiQueryFontTree(DHPDEV device, ULONG_PTR, ULONG face, ULONG mode, ULONG_PTR* id) {
    if (SessionOfDevice(device, INDEX_DrvQueryFontTree) == nullptr || face != 1 ||
        mode != kFontQueryTreeGlyphs)
        return nullptr;
    if (id != nullptr)
        *id = 0;
    return const_cast<DeviceFont*>(&kDeviceFont);
}

// The glyph's outline is the driver's business; the engine learns that the
// glyph exists (no bytes of data).
LONG APIENTRY DdiQueryFontData(DHPDEV device, FONTOBJ*, ULONG mode, HGLYPH glyph, GLYPHDATA*, PVOID, ULONG) {
    if (SessionOfDevice(device, INDEX_DrvQueryFontData) == nullptr || mode != kFontQueryGlyphData ||
        glyph >= kDeviceFont.glyphCount)
        return static_cast<LONG>(DDI_ERROR);
    return 0;
}

// Every glyph of the fixed-pitch font has the same advance: 28.4 fixed
// point for an em of one pixel, which the engine scales.
BOOL APIENTRY DdiQueryAdvanceWidths(DHPDEV device, FONTOBJ*, ULONG, HGLYPH* glyphs, PVOID widths,
                                    ULONG count) {
    if (SessionOfDevice(device, INDEX_DrvQueryAdvanceWidths) == nullptr || glyphs == nullptr ||
        widths == nullptr)
        return FALSE;
    auto* out = static_cast<USHORT*>(widths);
    for (ULONG i = 0; i < count; ++i)
        out[i] =
            glyphs[i] < kDeviceFont.glyphCount ? static_cast<USHORT>(kDeviceFont.advance * 16 / 1000) : 0;
    return TRUE;
}

ULONG APIENTRY DdiFontManagement(SURFOBJ* surface, FONTOBJ*, ULONG mode, ULONG, PVOID, ULONG, PVOID) {
    if (SessionOfSurface(surface, INDEX_DrvFontManagement) == nullptr)
        return 0;
    return mode == kFontQueryEscSupport ? 1 : 0;
}

ULONG APIENTRY DdiGetGlyphMode(DHPDEV device, FONTOBJ*) {
    return SessionOfDevice(device, INDEX_DrvGetGlyphMode) == nullptr ? 0 : kGlyphModePaths;
}

// One colour transform at a time; its handle is the session's flag.
HANDLE APIENTRY DdiIcmCreateColorTransform(DHPDEV device, LPLOGCOLORSPACEW, PVOID, ULONG, PVOID, ULONG, PVOID,
                                           ULONG, DWORD) {
    DriverSession::State* s = SessionOfDevice(device, INDEX_DrvIcmCreateColorTransform);
    if (s == nullptr || s->colourTransformOpen)
        return nullptr;
    s->colourTransformOpen = true;
    return &s->colourTransformOpen;
}

BOOL APIENTRY DdiIcmDeleteColorTransform(DHPDEV device, HANDLE transform) {
    DriverSession::State* s = SessionOfDevice(device, INDEX_DrvIcmDeleteColorTransform);
    if (s == nullptr || !s->colourTransformOpen || transform != &s->colourTransformOpen)
        return FALSE;
    s->colourTransformOpen = false;
    return TRUE;
}

// The driver passes no compressed image through as it is.
BOOL APIENTRY DdiQueryDeviceSupport(SURFOBJ* surface, XLATEOBJ*, XFORMOBJ*, ULONG, ULONG, PVOID, ULONG,
                                    PVOID) {
    SessionOfSurface(surface, INDEX_DrvQueryDeviceSupport);
    return FALSE;
}

// Realizing a brush draws nothing; the driver's brushes are solid.
BOOL APIENTRY DdiRealizeBrush(BRUSHOBJ*, SURFOBJ* target, SURFOBJ*, SURFOBJ*, XLATEOBJ*, ULONG) {
    SessionOfSurface(target, INDEX_DrvRealizeBrush);
    return TRUE;
}

// The driver's table: one entry per hooked function, each of the DDI type
// of its index.
#define KLV_DRIVER_FUNCTION(Name, index, position, failure)                                                  \
    DRVFN{INDEX_Drv##Name, KLV_FUNCTION_CAST(PFN, static_cast<PFN_Drv##Name>(&Ddi##Name))},

DRVFN gDriverFunctions[] = {KLV_HOOKED_DDI_FUNCTIONS(KLV_DRIVER_FUNCTION)};
#undef KLV_DRIVER_FUNCTION
static_assert(std::size(gDriverFunctions) == kHookCount, "the driver offers every hooked function");

} // namespace

DRVENABLEDATA DriverFunctionTable() {
    return DRVENABLEDATA{PRINTER_OEMINTF_VERSION, static_cast<ULONG>(std::size(gDriverFunctions)),
                         gDriverFunctions};
}

std::string DdiName(ULONG index) {
    switch (index) {
#define KLV_DDI_NAME(Name, number, position, failure)                                                        \
    case number:                                                                                             \
        return "Drv" #Name;
        KLV_HOOKED_DDI_FUNCTIONS(KLV_DDI_NAME)
#undef KLV_DDI_NAME
    }
    return "DDI " + std::to_string(index);
}

} // namespace klv::sim
