// The state a driver session shares between its rooms: the engine's calls
// (engine.cpp), the driver's own drawing functions (driver_functions.cpp)
// and the driver's helper interface (driver_helper.cpp).
#pragma once

#include "tools/simulator/simulator.h"

#include <cstdio>
#include <string>

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

// The engine's prototypes of the functions the driver implements.
using FnStartDoc = BOOL(APIENTRY*)(SURFOBJ*, LPWSTR, DWORD);
using FnEndDoc = BOOL(APIENTRY*)(SURFOBJ*, FLONG);
using FnStartPage = BOOL(APIENTRY*)(SURFOBJ*);
using FnSendPage = BOOL(APIENTRY*)(SURFOBJ*);
using FnTextOut = BOOL(APIENTRY*)(SURFOBJ*, STROBJ*, FONTOBJ*, CLIPOBJ*, RECTL*, RECTL*, BRUSHOBJ*, BRUSHOBJ*,
                                  POINTL*, MIX);
using FnBitBlt = BOOL(APIENTRY*)(SURFOBJ*, SURFOBJ*, SURFOBJ*, CLIPOBJ*, XLATEOBJ*, RECTL*, POINTL*, POINTL*,
                                 BRUSHOBJ*, POINTL*, ROP4);
using FnRealizeBrush = BOOL(APIENTRY*)(BRUSHOBJ*, SURFOBJ*, SURFOBJ*, SURFOBJ*, XLATEOBJ*, ULONG);

// The one raster operation the driver's BitBlt draws: the brush, as it is.
constexpr ROP4 kPatCopy = 0xF0F0;

struct DriverSession::State {
    DeviceRecord record{};
    SURFOBJ surface{};
    IPrintOemPS* plugin = nullptr;
    const DRVENABLEDATA* hooks = nullptr;
    DriverFunctions* driver = nullptr;
    JobSetup setup;
    SessionLog log;
    host::JobQueue queue;
    GDIINFO gdi{};
    std::vector<std::uint8_t> devmode;
    double pointsPerPixel = 1;
    double pageWidthPoints = 0;
    double pageHeightPoints = 0;
    bool enabled = false;

    std::u16string startDocName;
    DWORD startDocJobId = 0;

    // While the plug-in serves an injection point: which one, and what it
    // has written so far.
    bool inCommand = false;
    DWORD currentPoint = 0;
    std::string commandOutput;

    void Fault(const std::string& what) { log.faults.push_back(what); }
};

// The driver's own drawing functions, as it lists them for EnablePDEV.
DRVENABLEDATA DriverFunctionTable();

// Physical page size in points, and the device the driver describes for it.
void PaperPoints(Paper paper, double* width, double* height);
GDIINFO MakeGdiInfo(Paper paper, int dpi);

inline std::string Hex(HRESULT hr) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(hr));
    return text;
}

} // namespace klv::sim
