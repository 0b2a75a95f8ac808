#include "hooks/geometry.h"

#include "devmode/layout.h"

#include <gtest/gtest.h>

#include <cstring>
#include <tuple>
#include <vector>

namespace klv {
namespace {

// A record with every byte set, so that any stray write shows.
GDIINFO Gdi(ULONG dpiX, ULONG dpiY, LONG cx, LONG cy, LONG horzSize, LONG vertSize = 200) {
    GDIINFO gdi;
    std::memset(&gdi, 0x5C, sizeof gdi);
    gdi.ulLogPixelsX = dpiX;
    gdi.ulLogPixelsY = dpiY;
    gdi.szlPhysSize = {cx, cy};
    gdi.ulHorzSize = static_cast<ULONG>(horzSize);
    gdi.ulVertSize = static_cast<ULONG>(vertSize);
    gdi.ptlPhysOffset = {120, 90};
    return gdi;
}

// Rows give the flag, the record and the values expected; all 0 when the
// record is to be left as it was. Negative sizes are micrometres.
TEST(FullPageGeometry, CoversTheWholePage) {
    struct Case {
        const char* name;
        std::int16_t fullPage; // the sFullPage flag
        GDIINFO gdi;
        ULONG horzRes, vertRes;  // expected printable area, dots
        LONG horzSize, vertSize; // expected size, millimetres or (negative) micrometres
    };
    const Case cases[] = {
        {"letter, millimetres", 1, Gdi(600, 600, 5099, 6599, 200), 5100, 6600, 215, 279},
        {"letter, micrometres", 1, Gdi(600, 600, 5099, 6599, -203200), 5100, 6600, -215900, -279400},
        {"A4 width, millimetres", 1, Gdi(600, 600, 4960, 6599, 1), 4961, 6600, 210, 279},
        {"A4 width, micrometres", 1, Gdi(600, 600, 4960, 6599, -1), 4961, 6600, -210016, -279400},
        {"cut down, not rounded", 1, Gdi(600, 600, 4998, 6599, 0), 4999, 6600, 211, 279},
        {"unit from horizontal: micrometres", 1, Gdi(600, 600, 5099, 6599, -5, 200), 5100, 6600, -215900,
         -279400},
        {"unit from horizontal: millimetres", 1, Gdi(600, 600, 5099, 6599, 200, -5), 5100, 6600, 215, 279},
        {"zero width", 1, Gdi(600, 600, -1, 6599, 200), 0, 6600, 0, 279},
        {"600 x 300 dpi", 1, Gdi(600, 300, 5099, 3299, 200), 5100, 3300, 215, 279},
        {"1 dpi", 1, Gdi(1, 1, 0, 1, 200), 1, 2, 25, 50},
        {"1200 dpi", 1, Gdi(1200, 1200, 10199, 13199, 200), 10200, 13200, 215, 279},
        // -25400 * 2^31 micrometres keeps its low 32 bits: 0.
        {"largest width wraps", 1, Gdi(1, 1, 0x7FFFFFFF, 0, -1), 0x80000000, 1, 0, -25400},
        {"flag 2", 2, Gdi(600, 600, 5099, 6599, 200), 5100, 6600, 215, 279},
        {"flag -1", -1, Gdi(600, 600, 5099, 6599, 200), 0, 0, 0, 0},
        {"flag 0", 0, Gdi(600, 600, 5099, 6599, 200), 0, 0, 0, 0},
        {"x 0 dpi", 1, Gdi(0, 600, 5099, 6599, 200), 0, 0, 0, 0},
        {"x 1201 dpi", 1, Gdi(1201, 600, 5099, 6599, 200), 0, 0, 0, 0},
        {"y 0 dpi", 1, Gdi(600, 0, 5099, 6599, 200), 0, 0, 0, 0},
        {"y 1201 dpi", 1, Gdi(600, 1201, 5099, 6599, 200), 0, 0, 0, 0},
    };
    std::vector<BYTE> devmode(dm::kSize, 0);
    DEVOBJ devobj{};
    devobj.pOEMDM = devmode.data();
    for (const auto& [name, fullPage, input, horzRes, vertRes, horzSize, vertSize] : cases) {
        SCOPED_TRACE(name);
        dm::PutS16(devmode.data(), dm::kSFullPage, fullPage);
        GDIINFO gdi = input, expected = input;
        AdjustFullPageGeometry(&devobj, &gdi);
        if (horzRes != 0 || vertRes != 0) {
            expected.ptlPhysOffset = {0, 0};
            expected.ulHorzRes = horzRes;
            expected.ulVertRes = vertRes;
            expected.ulHorzSize = static_cast<ULONG>(horzSize);
            expected.ulVertSize = static_cast<ULONG>(vertSize);
        }
        EXPECT_EQ(std::memcmp(&gdi, &expected, sizeof gdi), 0)
            << gdi.ulHorzRes << " x " << gdi.ulVertRes << ", " << LONG(gdi.ulHorzSize) << " x "
            << LONG(gdi.ulVertSize);
    }
    // Missing records are ignored.
    const GDIINFO before = Gdi(600, 600, 5099, 6599, 200);
    GDIINFO gdi = before;
    AdjustFullPageGeometry(nullptr, &gdi);
    AdjustFullPageGeometry(&devobj, nullptr);
    devobj.pOEMDM = nullptr;
    AdjustFullPageGeometry(&devobj, &gdi);
    EXPECT_EQ(std::memcmp(&gdi, &before, sizeof gdi), 0);
}

} // namespace
} // namespace klv
