// The state a driver session shares between its rooms: the engine's calls
// (engine.cpp), the driver's own drawing functions (driver_functions.cpp)
// and the driver's helper interface (driver_helper.cpp).
#pragma once

#include "libraries/simulator/simulator.h"

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace klv::sim {

constexpr DWORD kDeviceMagic = 0x4B53494D; // "KSIM"

// The DEVOBJ comes first so that a DEVOBJ pointer handed back by the
// plug-in (or found in a surface's dhpdev) leads to its record.
struct DeviceRecord {
    DEVOBJ devobj;
    DWORD magic;
    DriverSession::State* owner;
};

// What the engine hands the driver's functions in place of the engine's
// string and brush objects. The plug-in only passes them on.
struct EngineText {
    std::u16string text;
    POINTL origin; // baseline start, device pixels from the top left
};
using EngineBrush = Colour;

// A path's points, for PATHOBJ; the line width, for LINEATTRS.
struct EnginePath {
    std::vector<POINTL> points;
    bool closed = false;
};
struct EngineLine {
    LONG width = 1;
};
// The two ends of a horizontal gradient, for the TRIVERTEX array, with the
// rectangle's corners; the mesh is one rectangle between them.
struct EngineVertex {
    POINTL point;
    Colour colour;
};
// How much of an image AlphaBlend puts over the page, for BLENDOBJ.
struct EngineBlend {
    std::uint8_t alpha = 255;
};
// The device font the driver offers, as the font queries describe it: its
// metrics (IFIMETRICS), its glyph tree and its glyphs' advance widths.
struct DeviceFont {
    const char* name;
    ULONG glyphCount;
    USHORT advance; // in font units of an em of 1000
};
constexpr DeviceFont kDeviceFont{"Courier", 256, 600};

// Escape and query numbers the simulated driver answers.
constexpr ULONG kEscQueryEscSupport = 8;
constexpr ULONG kEscPassthrough = 19;
constexpr ULONG kQueryJpegFormat = 0;     // QDS_CHECKJPEGFORMAT
constexpr ULONG kFontQueryEscSupport = 8; // DrvFontManagement's QUERYESCSUPPORT
constexpr ULONG kGlyphModePaths = 2;      // FO_PATHOBJ: glyphs as outlines
constexpr ULONG kGradientRectH = 0;       // GRADIENT_FILL_RECT_H
constexpr ULONG kFontQueryTreeGlyphs = 2; // QFT_GLYPHSET
constexpr ULONG kFontQueryGlyphData = 2;  // QFD_GLYPHANDOUTLINE
// Image raster operations: the source as it is, and the source over the
// page through a brush (DrvStretchBltROP).
constexpr ROP4 kSrcCopy = 0xCCCC;
// How the engine asks a stretched image to be thinned or thickened.
constexpr ULONG kStretchHalftone = 4; // HALFTONE

// The one raster operation the driver's BitBlt draws, PATCOPY: a ROP4 holds
// a ROP3's index byte (bits 16 to 23 of its code) for the foreground and
// for the background.
constexpr ROP4 kPatCopy = ((PATCOPY >> 16) & 0xFF) * 0x0101;
static_assert(kPatCopy == 0xF0F0);
// The mix of the engine's text: the pen's colour for both.
constexpr MIX kCopyPen = R2_COPYPEN | (R2_COPYPEN << 8);

struct DriverSession::State {
    DeviceRecord record{};
    SURFOBJ surface{};
    IPrintOemPS* plugin = nullptr;
    const DRVENABLEDATA* hooks = nullptr;
    DriverFunctions* driver = nullptr;
    JobSetup setup;
    SessionLog log;
    platform::PrintQueue queue;
    GDIINFO gdi{};
    std::vector<std::uint8_t> devmode;
    double pointsPerPixel = 1;
    double pageWidthPoints = 0;
    double pageHeightPoints = 0;
    bool enabled = false;
    // Collects the plug-in's trace lines of this thread into log.trace
    // from Begin to End.
    std::optional<platform::TraceCapture> trace;

    std::u16string startDocName;
    DWORD startDocJobId = 0;
    // The colour transform the driver handed out and not yet deleted.
    bool colourTransformOpen = false;

    // While the plug-in serves an injection point: which one, and what it
    // has written so far.
    bool inCommand = false;
    DWORD currentPoint = 0;
    std::string commandOutput;

    // Whether the call log, the command order and the bytes written are kept.
    bool keepLogText = true;

    void Fault(const std::string& what) { log.faults.push_back(what); }
    void LogCall(std::string line) {
        if (keepLogText)
            log.calls.push_back(std::move(line));
    }
};

// The driver's own drawing functions, as it lists them for EnablePDEV.
DRVENABLEDATA DriverFunctionTable();

// "DrvTextOut" for INDEX_DrvTextOut, for every function the plug-in hooks;
// "DDI <n>" for others.
std::string DdiName(ULONG index);

// Physical page size in points, and the device the driver describes for it.
void PaperPoints(Paper paper, double* width, double* height);
const char* PaperName(Paper paper); // as DSC names the size: "Letter", "A4", ...
GDIINFO MakeGdiInfo(Paper paper, int dpi);

// The platform's 16-bit character type (char16_t on other hosts, wchar_t on
// Windows) over the simulator's UTF-16 strings, and back.
inline WCHAR* WideUnits(std::u16string& text) {
    return reinterpret_cast<WCHAR*>(text.data());
}
inline const char16_t* Utf16Units(const WCHAR* text) {
    return reinterpret_cast<const char16_t*>(text);
}

inline std::string Hex(HRESULT hr) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(hr));
    return text;
}

} // namespace klv::sim
