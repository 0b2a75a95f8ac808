// The graphics engine's part of a session: it describes the device, and
// makes each drawing call through the plug-in's hook when the plug-in
// hooks the function, else straight to the driver's own function.
#include "libraries/simulator/session_internal.h"

#include <cmath>
#include <cstring>
#include <type_traits>

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

// A DDI function's result as the call log shows it.
template <typename Result> std::string ResultText(Result result) {
    if constexpr (std::is_pointer_v<Result>)
        return result != nullptr ? "non-null" : "null";
    else
        return std::to_string(result);
}

// One DDI call of type Fn (a PFN_Drv* type). The arguments convert to Fn's
// parameters (nullptr to any engine object). The call log tells whether it
// went through the plug-in's hook and whether it reached the driver.
template <typename Fn, typename... Args> auto CallDdi(DriverSession::State& s, ULONG index, Args... args) {
    using Result = std::invoke_result_t<Fn, Args...>;
    PFN target = FindFunction(s.hooks, index);
    const bool hooked = target != nullptr;
    if (hooked) {
        ++s.log.hookCalls[index];
    } else {
        const DRVENABLEDATA driver = DriverFunctionTable();
        target = FindFunction(&driver, index);
    }
    if (target == nullptr) {
        s.LogCall(DdiName(index) + ": no function");
        return Result{};
    }
    const int reachedBefore = s.log.ownCalls[index];
    const Result result = KLV_FUNCTION_CAST(Fn, target)(args...);
    const bool reached = s.log.ownCalls[index] != reachedBefore;
    const char* way = !hooked ? " -> driver" : reached ? " -> hook -> driver" : " -> hook, answered there";
    s.LogCall(DdiName(index) + way + " -> " + ResultText(result));
    return result;
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
    std::u16string docName = support::Utf8ToUtf16(s.setup.document);
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

namespace {

// The engine's source surface over an image's rows.
SURFOBJ SourceSurface(const GrayImage& image) {
    SURFOBJ source{};
    source.sizlBitmap = SIZEL{image.width, image.height};
    source.cjBits = static_cast<ULONG>(image.pixels.size());
    source.pvBits = source.pvScan0 = const_cast<std::uint8_t*>(image.pixels.data());
    source.lDelta = image.width;
    source.iType = STYPE_BITMAP;
    return source;
}

} // namespace

bool DriverSession::QueryDeviceFont(const std::u16string& text) {
    if (!state_->enabled)
        return false;
    State& s = *state_;
    auto device = reinterpret_cast<DHPDEV>(&s.record.devobj);
    const ULONG face = 1;
    ULONG_PTR id = 0;
    bool ok = CallDdi<PFN_DrvQueryFont>(s, INDEX_DrvQueryFont, device, ULONG_PTR{0}, face, &id) != nullptr;
    ok = CallDdi<PFN_DrvQueryFontTree>(s, INDEX_DrvQueryFontTree, device, ULONG_PTR{0}, face,
                                       kFontQueryTreeGlyphs, &id) != nullptr &&
         ok;
    std::vector<HGLYPH> glyphs(text.begin(), text.end());
    if (!glyphs.empty())
        ok = CallDdi<PFN_DrvQueryFontData>(s, INDEX_DrvQueryFontData, device, nullptr, kFontQueryGlyphData,
                                           glyphs.front(), nullptr, nullptr,
                                           ULONG{0}) != static_cast<LONG>(DDI_ERROR) &&
             ok;
    std::vector<USHORT> widths(glyphs.size());
    ok = CallDdi<PFN_DrvQueryAdvanceWidths>(s, INDEX_DrvQueryAdvanceWidths, device, nullptr, ULONG{0},
                                            glyphs.data(), static_cast<PVOID>(widths.data()),
                                            static_cast<ULONG>(glyphs.size())) &&
         ok;
    ok = CallDdi<PFN_DrvGetGlyphMode>(s, INDEX_DrvGetGlyphMode, device, nullptr) != 0 && ok;
    ULONG asked = kEscPassthrough;
    ok = CallDdi<PFN_DrvFontManagement>(s, INDEX_DrvFontManagement, &s.surface, nullptr, kFontQueryEscSupport,
                                        ULONG{sizeof asked}, static_cast<PVOID>(&asked), ULONG{0},
                                        nullptr) != 0 &&
         ok;
    return ok;
}

bool DriverSession::StrokePath(const std::vector<POINTL>& points, bool closed, Colour colour, LONG width) {
    if (!state_->enabled)
        return false;
    EnginePath path{points, closed};
    EngineBrush brush = colour;
    EngineLine line{width};
    return CallDdi<PFN_DrvStrokePath>(
        *state_, INDEX_DrvStrokePath, &state_->surface, reinterpret_cast<PATHOBJ*>(&path), nullptr, nullptr,
        reinterpret_cast<BRUSHOBJ*>(&brush), nullptr, reinterpret_cast<LINEATTRS*>(&line), kCopyPen);
}

bool DriverSession::FillPath(const std::vector<POINTL>& points, Colour colour) {
    if (!state_->enabled)
        return false;
    EnginePath path{points, true};
    EngineBrush brush = colour;
    return CallDdi<PFN_DrvFillPath>(*state_, INDEX_DrvFillPath, &state_->surface,
                                    reinterpret_cast<PATHOBJ*>(&path), nullptr,
                                    reinterpret_cast<BRUSHOBJ*>(&brush), nullptr, kCopyPen, FLONG{0});
}

bool DriverSession::StrokeAndFillPath(const std::vector<POINTL>& points, Colour stroke, LONG width,
                                      Colour fill) {
    if (!state_->enabled)
        return false;
    EnginePath path{points, true};
    EngineBrush strokeBrush = stroke;
    EngineBrush fillBrush = fill;
    EngineLine line{width};
    return CallDdi<PFN_DrvStrokeAndFillPath>(
        *state_, INDEX_DrvStrokeAndFillPath, &state_->surface, reinterpret_cast<PATHOBJ*>(&path), nullptr,
        nullptr, reinterpret_cast<BRUSHOBJ*>(&strokeBrush), reinterpret_cast<LINEATTRS*>(&line),
        reinterpret_cast<BRUSHOBJ*>(&fillBrush), nullptr, kCopyPen, FLONG{0});
}

bool DriverSession::DrawImage(ImageCall call, const GrayImage& image, const RECTL& target) {
    if (!state_->enabled)
        return false;
    State& s = *state_;
    SURFOBJ source = SourceSurface(image);
    RECTL to = target;
    RECTL from{0, 0, image.width, image.height};
    POINTL origin{0, 0};
    EngineBlend half{128};
    switch (call) {
    case ImageCall::kBitBlt:
        return CallDdi<PFN_DrvBitBlt>(s, INDEX_DrvBitBlt, &s.surface, &source, nullptr, nullptr, nullptr, &to,
                                      &origin, nullptr, nullptr, nullptr, kSrcCopy);
    case ImageCall::kCopyBits:
        return CallDdi<PFN_DrvCopyBits>(s, INDEX_DrvCopyBits, &s.surface, &source, nullptr, nullptr, &to,
                                        &origin);
    case ImageCall::kStretchBlt:
        return CallDdi<PFN_DrvStretchBlt>(s, INDEX_DrvStretchBlt, &s.surface, &source, nullptr, nullptr,
                                          nullptr, nullptr, nullptr, &to, &from, nullptr, kStretchHalftone);
    case ImageCall::kStretchBltROP:
        return CallDdi<PFN_DrvStretchBltROP>(s, INDEX_DrvStretchBltROP, &s.surface, &source, nullptr, nullptr,
                                             nullptr, nullptr, nullptr, &to, &from, nullptr, kStretchHalftone,
                                             nullptr, DWORD{kSrcCopy});
    case ImageCall::kTransparentBlt:
        return CallDdi<PFN_DrvTransparentBlt>(s, INDEX_DrvTransparentBlt, &s.surface, &source, nullptr,
                                              nullptr, &to, &from, ULONG{0xFFFFFF}, ULONG{0});
    case ImageCall::kAlphaBlend:
        return CallDdi<PFN_DrvAlphaBlend>(s, INDEX_DrvAlphaBlend, &s.surface, &source, nullptr, nullptr, &to,
                                          &from, reinterpret_cast<BLENDOBJ*>(&half));
    }
    return false;
}

bool DriverSession::DrawImage(const GrayImage& image, const ImagePlace& place) {
    if (!state_->enabled)
        return false;
    State& s = *state_;
    SURFOBJ source = SourceSurface(image);
    RECTL from{0, 0, image.width, image.height};
    // The corners in 28.4 fixed point.
    auto fixed = [](POINTL p) { return POINTFIX{p.x * 16, p.y * 16}; };
    POINTFIX corners[3] = {fixed(place.topLeft), fixed(place.topRight), fixed(place.bottomLeft)};
    return CallDdi<PFN_DrvPlgBlt>(s, INDEX_DrvPlgBlt, &s.surface, &source, nullptr, nullptr, nullptr, nullptr,
                                  nullptr, corners, &from, nullptr, kStretchHalftone);
}

bool DriverSession::GradientFill(const RECTL& rect, Colour left, Colour right) {
    if (!state_->enabled)
        return false;
    EngineVertex ends[2] = {{{rect.left, rect.top}, left}, {{rect.right, rect.bottom}, right}};
    ULONG mesh[2] = {0, 1}; // one rectangle between the two vertices
    RECTL extents = rect;
    POINTL dither{0, 0};
    return CallDdi<PFN_DrvGradientFill>(*state_, INDEX_DrvGradientFill, &state_->surface, nullptr, nullptr,
                                        reinterpret_cast<TRIVERTEX*>(ends), ULONG{2},
                                        static_cast<PVOID>(mesh), ULONG{1}, &extents, &dither,
                                        kGradientRectH);
}

bool DriverSession::ColourTransform() {
    if (!state_->enabled)
        return false;
    State& s = *state_;
    auto device = reinterpret_cast<DHPDEV>(&s.record.devobj);
    HANDLE transform =
        CallDdi<PFN_DrvIcmCreateColorTransform>(s, INDEX_DrvIcmCreateColorTransform, device, nullptr, nullptr,
                                                ULONG{0}, nullptr, ULONG{0}, nullptr, ULONG{0}, DWORD{0});
    if (transform == nullptr)
        return false;
    return CallDdi<PFN_DrvIcmDeleteColorTransform>(s, INDEX_DrvIcmDeleteColorTransform, device, transform);
}

bool DriverSession::Passthrough(std::string_view bytes) {
    if (!state_->enabled || bytes.size() > 0xFFFF)
        return false;
    State& s = *state_;
    // An application asks whether the escape is there before it uses it.
    ULONG escape = kEscPassthrough;
    if (CallDdi<PFN_DrvEscape>(s, INDEX_DrvEscape, &s.surface, kEscQueryEscSupport, ULONG{sizeof escape},
                               static_cast<PVOID>(&escape), ULONG{0}, nullptr) == 0)
        return false;
    const auto count = static_cast<USHORT>(bytes.size());
    std::vector<char> in(sizeof count + bytes.size());
    std::memcpy(in.data(), &count, sizeof count);
    std::memcpy(in.data() + sizeof count, bytes.data(), bytes.size());
    return CallDdi<PFN_DrvEscape>(s, INDEX_DrvEscape, &s.surface, kEscPassthrough,
                                  static_cast<ULONG>(in.size()), static_cast<PVOID>(in.data()), ULONG{0},
                                  nullptr) == count;
}

bool DriverSession::QueryJpegSupport() {
    if (!state_->enabled)
        return false;
    return CallDdi<PFN_DrvQueryDeviceSupport>(*state_, INDEX_DrvQueryDeviceSupport, &state_->surface, nullptr,
                                              nullptr, kQueryJpegFormat, ULONG{0}, nullptr, ULONG{0},
                                              nullptr);
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
