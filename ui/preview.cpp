#include "ui/preview.h"

#include <algorithm>
#include <cmath>
#include <cwchar>
#include <numbers>
#include <string_view>

namespace klv::ui {

namespace {

// A letter page, in points: what the outline's proportions and the
// watermark's size are measured against.
constexpr double kPageWidth = 612;
constexpr double kPageHeight = 792;

// The system face closest to a resident PostScript font, by its family.
const wchar_t* FaceFor(std::wstring_view font) {
    for (std::wstring_view serif : {L"Times", L"NewCentury", L"Palatino", L"Bookman"})
        if (font.starts_with(serif))
            return L"Times New Roman";
    if (font.starts_with(L"Courier"))
        return L"Courier New";
    if (font == L"Symbol")
        return L"Symbol";
    return L"Arial";
}

bool Names(std::wstring_view font, std::wstring_view part) {
    return font.find(part) != std::wstring_view::npos;
}

RECT PageOutline(const RECT& area) {
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    const int margin = std::max(2, std::min(width, height) / 16);
    const double scale = std::min((width - 2 * margin) / kPageWidth, (height - 2 * margin) / kPageHeight);
    const int pageWidth = static_cast<int>(kPageWidth * scale);
    const int pageHeight = static_cast<int>(kPageHeight * scale);
    const int left = area.left + (width - pageWidth) / 2;
    const int top = area.top + (height - pageHeight) / 2;
    return {left, top, left + pageWidth, top + pageHeight};
}

} // namespace

void DrawPreview(HDC dc, const RECT& area, const PreviewValues& values) {
    FillRect(dc, &area, GetSysColorBrush(COLOR_3DFACE));
    const RECT page = PageOutline(area);
    FillRect(dc, &page, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    FrameRect(dc, &page, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    if (!values.on || values.text.empty() || values.size <= 0)
        return;

    const double scale = (page.bottom - page.top) / kPageHeight;
    const double height = std::min(values.size * scale, 4.0 * (page.bottom - page.top));
    const int tenths = static_cast<int>(values.angle % 360) * 10;
    LOGFONTW face = {};
    face.lfHeight = -std::max(1, static_cast<int>(std::lround(height)));
    face.lfEscapement = tenths;
    face.lfOrientation = tenths;
    face.lfWeight = Names(values.font, L"Bold") || Names(values.font, L"Demi") ? FW_BOLD : FW_NORMAL;
    face.lfItalic = Names(values.font, L"Italic") || Names(values.font, L"Oblique");
    face.lfCharSet = DEFAULT_CHARSET;
    face.lfQuality = ANTIALIASED_QUALITY;
    wcsncpy(face.lfFaceName, FaceFor(values.font), LF_FACESIZE - 1);
    const HFONT font = CreateFontIndirectW(&face);
    if (font == nullptr)
        return;

    const int saved = SaveDC(dc);
    IntersectClipRect(dc, page.left + 1, page.top + 1, page.right - 1, page.bottom - 1);
    SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, values.colour);
    SetTextAlign(dc, TA_BASELINE | TA_LEFT);
    SIZE extent = {};
    const int length = static_cast<int>(values.text.size());
    GetTextExtentPoint32W(dc, values.text.c_str(), length, &extent);
    TEXTMETRICW metrics = {};
    GetTextMetricsW(dc, &metrics);

    // The text's middle on the page's middle, as the job draws it: along
    // the baseline (cos, -sin) by half the width, up from it by half the
    // ascent, in device space whose y grows downwards.
    const double radians = values.angle * std::numbers::pi / 180.0;
    const double along = extent.cx / 2.0;
    const double up = metrics.tmAscent / 2.0;
    const double centreX = (page.left + page.right) / 2.0;
    const double centreY = (page.top + page.bottom) / 2.0;
    const double originX = centreX - along * std::cos(radians) + up * std::sin(radians);
    const double originY = centreY + along * std::sin(radians) + up * std::cos(radians);
    TextOutW(dc, static_cast<int>(std::lround(originX)), static_cast<int>(std::lround(originY)),
             values.text.c_str(), length);
    RestoreDC(dc, saved);
    DeleteObject(font);
}

} // namespace klv::ui
