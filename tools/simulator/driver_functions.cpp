// The driver's own drawing functions as the engine calls them, with the
// engine's prototypes. Each finds its session through the surface, checks
// that the surface is the device's, and hands the call to the session's
// DriverFunctions.
#include "tools/simulator/session_internal.h"

namespace klv::sim {

namespace {

// The session behind a surface, when the surface is one the session made;
// counts the call that reached the driver.
DriverSession::State* SessionOfSurface(SURFOBJ* surface, ULONG index) {
    if (surface == nullptr || surface->dhpdev == nullptr)
        return nullptr;
    auto* record = reinterpret_cast<DeviceRecord*>(surface->dhpdev);
    if (record->magic != kDeviceMagic || record->owner == nullptr)
        return nullptr;
    DriverSession::State* s = record->owner;
    ++s->log.ownCalls[index];
    if (surface != &s->surface)
        s->Fault("DDI " + std::to_string(index) + " received a surface that is not the device's");
    return s;
}

BOOL APIENTRY DdiStartDoc(SURFOBJ* surface, LPWSTR docName, DWORD jobId) {
    DriverSession::State* s = SessionOfSurface(surface, INDEX_DrvStartDoc);
    if (s == nullptr)
        return FALSE;
    s->startDocName = docName != nullptr ? std::u16string(docName) : std::u16string();
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

BOOL APIENTRY DdiBitBlt(SURFOBJ* target, SURFOBJ*, SURFOBJ*, CLIPOBJ*, XLATEOBJ*, RECTL* rect, POINTL*,
                        POINTL*, BRUSHOBJ* brush, POINTL*, ROP4 rop) {
    DriverSession::State* s = SessionOfSurface(target, INDEX_DrvBitBlt);
    if (s == nullptr || rect == nullptr || brush == nullptr)
        return FALSE;
    if (rop != kPatCopy) {
        s->Fault("DrvBitBlt with an unsupported raster operation");
        return FALSE;
    }
    return s->driver == nullptr || s->driver->FillRect(*rect, *reinterpret_cast<const EngineBrush*>(brush));
}

// Realizing a brush draws nothing; the driver's brushes are solid.
BOOL APIENTRY DdiRealizeBrush(BRUSHOBJ*, SURFOBJ* target, SURFOBJ*, SURFOBJ*, XLATEOBJ*, ULONG) {
    SessionOfSurface(target, INDEX_DrvRealizeBrush);
    return TRUE;
}

// Takes only a function of exactly the engine's prototype Fn, then goes
// through void(*)(), the generic function pointer type, as the DDI tables do.
template <typename Fn> PFN AsPfn(Fn fn) {
    return reinterpret_cast<PFN>(reinterpret_cast<void (*)()>(fn));
}

DRVFN gDriverFunctions[] = {
    {INDEX_DrvStartDoc, AsPfn<FnStartDoc>(DdiStartDoc)},
    {INDEX_DrvEndDoc, AsPfn<FnEndDoc>(DdiEndDoc)},
    {INDEX_DrvStartPage, AsPfn<FnStartPage>(DdiStartPage)},
    {INDEX_DrvSendPage, AsPfn<FnSendPage>(DdiSendPage)},
    {INDEX_DrvTextOut, AsPfn<FnTextOut>(DdiTextOut)},
    {INDEX_DrvBitBlt, AsPfn<FnBitBlt>(DdiBitBlt)},
    {INDEX_DrvRealizeBrush, AsPfn<FnRealizeBrush>(DdiRealizeBrush)},
};

} // namespace

DRVENABLEDATA DriverFunctionTable() {
    return DRVENABLEDATA{PRINTER_OEMINTF_VERSION, static_cast<ULONG>(std::size(gDriverFunctions)),
                         gDriverFunctions};
}

} // namespace klv::sim
