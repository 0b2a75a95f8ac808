// The graphics engine's part of a session: it describes the device, and
// makes each drawing call through the plug-in's hook when the plug-in
// hooks the function, else straight to the driver's own function.
#include "tools/simulator/session_internal.h"

#include <cmath>

namespace klv::sim {

namespace {

PFN FindFunction(const DRVENABLEDATA* table, ULONG index) {
    if (table == nullptr || table->pdrvfn == nullptr)
        return nullptr;
    for (ULONG i = 0; i < table->c; ++i) {
        if (table->pdrvfn[i].iFunc == index)
            return table->pdrvfn[i].pfn;
    }
    return nullptr;
}

// One DDI call of type Fn (a PFN_Drv* type). The arguments convert to Fn's parameters
// (nullptr to any engine object).
template <typename Fn, typename... Args> BOOL CallDdi(DriverSession::State& s, ULONG index, Args... args) {
    PFN target = FindFunction(s.hooks, index);
    if (target != nullptr) {
        ++s.log.hookCalls[index];
    } else {
        const DRVENABLEDATA driver = DriverFunctionTable();
        target = FindFunction(&driver, index);
    }
    if (target == nullptr)
        return FALSE;
    return KLV_FUNCTION_CAST(Fn, target)(args...);
}

} // namespace

namespace {

// Physical page size in points, and the name of the size in the job.
struct PaperSize {
    Paper paper;
    const char* name;
    double width;
    double height;
};
constexpr PaperSize kPaperSizes[] = {
    {Paper::kLetter, "Letter", 612, 792},
    {Paper::kA4, "A4", 595.276, 841.89},
    {Paper::kLegal, "Legal", 612, 1008},
    {Paper::kA3, "A3", 841.89, 1190.55},
};

const PaperSize& SizeOf(Paper paper) {
    for (const PaperSize& size : kPaperSizes) {
        if (size.paper == paper)
            return size;
    }
    return kPaperSizes[0];
}

} // namespace

void PaperPoints(Paper paper, double* width, double* height) {
    *width = SizeOf(paper).width;
    *height = SizeOf(paper).height;
}

const char* PaperName(Paper paper) {
    return SizeOf(paper).name;
}

GDIINFO MakeGdiInfo(Paper paper, int dpi) {
    double w = 0, h = 0;
    PaperPoints(paper, &w, &h);
    GDIINFO gdi{};
    gdi.ulVersion = 0x5000;
    gdi.ulTechnology = DT_RASPRINTER;
    gdi.ulLogPixelsX = gdi.ulLogPixelsY = static_cast<ULONG>(dpi);
    gdi.szlPhysSize.cx = static_cast<LONG>(std::lround(w / 72 * dpi));
    gdi.szlPhysSize.cy = static_cast<LONG>(std::lround(h / 72 * dpi));
    // A quarter inch of unprintable margin on every side.
    gdi.ptlPhysOffset.x = gdi.ptlPhysOffset.y = dpi / 4;
    gdi.ulHorzRes = static_cast<ULONG>(gdi.szlPhysSize.cx - 2 * gdi.ptlPhysOffset.x);
    gdi.ulVertRes = static_cast<ULONG>(gdi.szlPhysSize.cy - 2 * gdi.ptlPhysOffset.y);
    gdi.ulHorzSize = static_cast<ULONG>(gdi.ulHorzRes * 25.4 / dpi);
    gdi.ulVertSize = static_cast<ULONG>(gdi.ulVertRes * 25.4 / dpi);
    gdi.cBitsPixel = 1;
    gdi.cPlanes = 1;
    gdi.ulNumColors = 2;
    gdi.ulAspectX = gdi.ulAspectY = static_cast<ULONG>(dpi);
    gdi.ulAspectXY = static_cast<ULONG>(std::lround(dpi * std::sqrt(2.0)));
    gdi.ulDevicePelsDPI = static_cast<ULONG>(dpi);
    return gdi;
}

bool DriverSession::StartDoc() {
    if (!state_->enabled)
        return false;
    State& s = *state_;
    std::u16string docName = Utf8ToUtf16(s.setup.document);
    const bool ok =
        CallDdi<PFN_DrvStartDoc>(s, INDEX_DrvStartDoc, &s.surface, WideUnits(docName), s.setup.jobId);
    if (!ok)
        s.Fault("DrvStartDoc failed");
    if (s.startDocJobId != s.setup.jobId)
        s.Fault("DrvStartDoc reached the driver with job id " + std::to_string(s.startDocJobId));
    return ok;
}

bool DriverSession::StartPage() {
    if (!state_->enabled)
        return false;
    return CallDdi<PFN_DrvStartPage>(*state_, INDEX_DrvStartPage, &state_->surface);
}

bool DriverSession::SendPage() {
    if (!state_->enabled)
        return false;
    return CallDdi<PFN_DrvSendPage>(*state_, INDEX_DrvSendPage, &state_->surface);
}

bool DriverSession::TextOut(const std::u16string& text, POINTL origin, const RECTL& bounds) {
    if (!state_->enabled)
        return false;
    EngineText string{text, origin};
    EngineBrush black{0, 0, 0};
    RECTL opaque = bounds;
    return CallDdi<PFN_DrvTextOut>(*state_, INDEX_DrvTextOut, &state_->surface,
                                   reinterpret_cast<STROBJ*>(&string), nullptr, nullptr, nullptr, &opaque,
                                   reinterpret_cast<BRUSHOBJ*>(&black), nullptr, &origin, kCopyPen);
}

bool DriverSession::FillRect(const RECTL& rect, Colour colour) {
    if (!state_->enabled)
        return false;
    State& s = *state_;
    EngineBrush brush = colour;
    RECTL target = rect;
    // The engine realizes a brush before it uses it.
    CallDdi<PFN_DrvRealizeBrush>(s, INDEX_DrvRealizeBrush, reinterpret_cast<BRUSHOBJ*>(&brush), &s.surface,
                                 nullptr, nullptr, nullptr, ULONG{0});
    return CallDdi<PFN_DrvBitBlt>(s, INDEX_DrvBitBlt, &s.surface, nullptr, nullptr, nullptr, nullptr, &target,
                                  nullptr, nullptr, reinterpret_cast<BRUSHOBJ*>(&brush), nullptr, kPatCopy);
}

bool DriverSession::EndDoc() {
    if (!state_->enabled)
        return false;
    const bool ok = CallDdi<PFN_DrvEndDoc>(*state_, INDEX_DrvEndDoc, &state_->surface, FLONG{0});
    if (!ok)
        state_->Fault("DrvEndDoc failed");
    return ok;
}

} // namespace klv::sim
