#include "hooks/geometry.h"

#include "devmode/layout.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace klv {
namespace {

constexpr ULONG Micrometres(LONG value) {
    return static_cast<ULONG>(value);
}

struct Device {
    std::vector<BYTE> devmode = std::vector<BYTE>(dm::kSize, 0);
    DEVOBJ devobj{};

    explicit Device(std::int16_t fullPage) {
        dm::PutS16(devmode.data(), dm::kSFullPage, fullPage);
        devobj.pOEMDM = devmode.data();
    }
};

// A record with every byte set, so that any stray write shows.
GDIINFO Gdi(ULONG dpiX, ULONG dpiY, LONG cx, LONG cy, ULONG horzSize, ULONG vertSize = 200) {
    GDIINFO gdi;
    std::memset(&gdi, 0x5C, sizeof gdi);
    gdi.ulLogPixelsX = dpiX;
    gdi.ulLogPixelsY = dpiY;
    gdi.szlPhysSize.cx = cx;
    gdi.szlPhysSize.cy = cy;
    gdi.ulHorzSize = horzSize;
    gdi.ulVertSize = vertSize;
    gdi.ptlPhysOffset.x = 120;
    gdi.ptlPhysOffset.y = 90;
    return gdi;
}

bool SameBytes(const GDIINFO& a, const GDIINFO& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

TEST(FullPageGeometry, ComputesTheWholePage) {
    const struct {
        const char* name;
        GDIINFO input;
        ULONG horzRes, vertRes, horzSize, vertSize;
    } cases[] = {
        {"letter, millimetres", Gdi(600, 600, 5099, 6599, 200), 5100, 6600, 215, 279},
        {"letter, micrometres", Gdi(600, 600, 5099, 6599, Micrometres(-203200)), 5100, 6600,
         Micrometres(-215900), Micrometres(-279400)},
        {"A4 width, millimetres", Gdi(600, 600, 4960, 6599, 1), 4961, 6600, 210, 279},
        {"A4 width, micrometres", Gdi(600, 600, 4960, 6599, Micrometres(-1)), 4961, 6600,
         Micrometres(-210016), Micrometres(-279400)},
        {"cut down, not rounded", Gdi(600, 600, 4998, 6599, 0), 4999, 6600, 211, 279},
        {"unit from horizontal only: micrometres", Gdi(600, 600, 5099, 6599, Micrometres(-5), 200), 5100,
         6600, Micrometres(-215900), Micrometres(-279400)},
        {"unit from horizontal only: millimetres", Gdi(600, 600, 5099, 6599, 200, Micrometres(-5)), 5100,
         6600, 215, 279},
        {"zero width", Gdi(600, 600, -1, 6599, 200), 0, 6600, 0, 279},
        {"zero width, micrometres", Gdi(600, 600, -1, -1, Micrometres(-1)), 0, 0, 0, 0},
        {"separate resolutions", Gdi(600, 300, 5099, 3299, 200), 5100, 3300, 215, 279},
        {"lowest resolution", Gdi(1, 1, 0, 1, 200), 1, 2, 25, 50},
        {"highest resolution", Gdi(1200, 1200, 10199, 13199, 200), 10200, 13200, 215, 279},
        {"largest width wraps", Gdi(1, 1, 0x7FFFFFFF, 0, Micrometres(-1)), 0x80000000, 1,
         static_cast<ULONG>(static_cast<std::uint64_t>(-54546084659200LL)), Micrometres(-25400)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Device device(1);
        GDIINFO gdi = c.input;
        AdjustFullPageGeometry(&device.devobj, &gdi);

        GDIINFO expected = c.input;
        expected.ptlPhysOffset = {0, 0};
        expected.ulHorzRes = c.horzRes;
        expected.ulVertRes = c.vertRes;
        expected.ulHorzSize = c.horzSize;
        expected.ulVertSize = c.vertSize;
        EXPECT_EQ(gdi.ulHorzRes, c.horzRes);
        EXPECT_EQ(gdi.ulVertRes, c.vertRes);
        EXPECT_EQ(gdi.ulHorzSize, c.horzSize);
        EXPECT_EQ(gdi.ulVertSize, c.vertSize);
        EXPECT_TRUE(SameBytes(gdi, expected)) << "another field changed";
    }
}

TEST(FullPageGeometry, LeavesTheRecordAlone) {
    const struct {
        const char* name;
        std::int16_t fullPage;
        ULONG dpiX, dpiY;
    } cases[] = {
        {"full page default", -1, 600, 600},
        {"full page off", 0, 600, 600},
        {"most negative flag", -32768, 600, 600},
        {"x resolution 0", 1, 0, 600},
        {"x resolution 1201", 1, 1201, 600},
        {"x resolution top bit", 1, 0x80000000, 600},
        {"y resolution 0", 1, 600, 0},
        {"y resolution 1201", 1, 600, 1201},
        {"y resolution top bit", 1, 600, 0xFFFFFFFF},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Device device(c.fullPage);
        const GDIINFO before = Gdi(c.dpiX, c.dpiY, 5099, 6599, 200);
        GDIINFO gdi = before;
        AdjustFullPageGeometry(&device.devobj, &gdi);
        EXPECT_TRUE(SameBytes(gdi, before));
    }
}

TEST(FullPageGeometry, AnyPositiveFlagTurnsItOn) {
    for (std::int16_t flag : {1, 2, 0x7FFF}) {
        SCOPED_TRACE(flag);
        Device device(flag);
        GDIINFO gdi = Gdi(600, 600, 5099, 6599, 200);
        AdjustFullPageGeometry(&device.devobj, &gdi);
        EXPECT_EQ(gdi.ulHorzRes, 5100u);
        EXPECT_EQ(gdi.ptlPhysOffset.x, 0);
    }
}

TEST(FullPageGeometry, MissingRecordsAreIgnored) {
    Device device(1);
    const GDIINFO before = Gdi(600, 600, 5099, 6599, 200);
    GDIINFO gdi = before;
    AdjustFullPageGeometry(nullptr, &gdi);
    AdjustFullPageGeometry(&device.devobj, nullptr);
    device.devobj.pOEMDM = nullptr;
    AdjustFullPageGeometry(&device.devobj, &gdi);
    EXPECT_TRUE(SameBytes(gdi, before));
}

} // namespace
} // namespace klv
