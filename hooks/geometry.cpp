#include "hooks/geometry.h"

#include "devmode/layout.h"

#include <cstdint>

namespace klv {

namespace {

constexpr ULONG kMaxLogPixels = 1200;
constexpr double kMillimetresPerInch = 25.4;
constexpr double kNegatedMicrometresPerInch = -25400.0;

bool ResolutionAccepted(ULONG dotsPerInch) {
    return dotsPerInch != 0 && dotsPerInch <= kMaxLogPixels;
}

// Converts toward zero into a 64-bit integer and keeps its low 32 bits. The
// inputs are bounded (at most 2^32 pixels at 1 dpi), so the value always fits.
ULONG TruncateLow32(double value) {
    return static_cast<ULONG>(static_cast<std::uint64_t>(static_cast<std::int64_t>(value)));
}

// Physical size of `pixels` device pixels at `dotsPerInch`, in the unit the
// driver uses: millimetres cut down, or negative micrometres rounded to the
// nearest, halves away from zero.
ULONG PhysicalSize(ULONG pixels, ULONG dotsPerInch, bool micrometres) {
    const double inches = static_cast<double>(pixels) / static_cast<double>(dotsPerInch);
    if (micrometres)
        return TruncateLow32(inches * kNegatedMicrometresPerInch - 0.5);
    return TruncateLow32(inches * kMillimetresPerInch);
}

} // namespace

void AdjustFullPageGeometry(PDEVOBJ devobj, GDIINFO* gdiInfo) {
    if (devobj == nullptr || devobj->pOEMDM == nullptr || gdiInfo == nullptr)
        return;
    if (dm::S16(static_cast<const BYTE*>(devobj->pOEMDM), dm::kSFullPage) <= 0)
        return;
    // Both resolutions divide below; either one out of range leaves the
    // record as the driver made it.
    const ULONG dpiX = gdiInfo->ulLogPixelsX;
    const ULONG dpiY = gdiInfo->ulLogPixelsY;
    if (!ResolutionAccepted(dpiX) || !ResolutionAccepted(dpiY))
        return;

    gdiInfo->ptlPhysOffset.x = 0;
    gdiInfo->ptlPhysOffset.y = 0;

    // One pixel more than the physical size, computed as 32-bit unsigned
    // values so that the largest sizes wrap instead of overflowing.
    const ULONG width = static_cast<ULONG>(gdiInfo->szlPhysSize.cx) + 1;
    const ULONG height = static_cast<ULONG>(gdiInfo->szlPhysSize.cy) + 1;
    gdiInfo->ulHorzRes = width;
    gdiInfo->ulVertRes = height;

    // A negative horizontal size means the driver counts in micrometres; the
    // vertical size follows the same unit whatever its own sign.
    const bool micrometres = static_cast<LONG>(gdiInfo->ulHorzSize) < 0;
    gdiInfo->ulHorzSize = PhysicalSize(width, dpiX, micrometres);
    gdiInfo->ulVertSize = PhysicalSize(height, dpiY, micrometres);
}

} // namespace klv
