#include "libraries/ghostscript/raster.h"

#include <gtest/gtest.h>

#include <string>

namespace klv::gs {
namespace {

TEST(Raster, ParsesPpmAndRejectsMalformed) {
    const struct {
        std::string bytes;
        int width, height; // 0: rejected
    } cases[] = {
        {std::string("P6 1 1 255\n\x01\x02\x03", 14), 1, 1},
        {"P6\n# made here\n2 1\n255\n" + std::string(6, 'x'), 2, 1},
        {"P6 2 2 255\n" + std::string(11, 'x'), 0, 0},  // truncated
        {"P3 1 1 255\n1 2 3", 0, 0},                    // plain text
        {"P6 1 1 65535\n" + std::string(6, 'x'), 0, 0}, // 16 bits
        {"", 0, 0},
    };
    for (const auto& c : cases) {
        const std::optional<Raster> r = Raster::FromPpm(c.bytes);
        EXPECT_EQ(r ? r->Width() : 0, c.width) << c.bytes;
        EXPECT_EQ(r ? r->Height() : 0, c.height) << c.bytes;
    }
}

TEST(Raster, CountsPixelsNearAColourInsideThePage) {
    // 3 x 2: red everywhere but one blue pixel at (2, 1).
    std::vector<std::uint8_t> rgb;
    for (int i = 0; i < 6; ++i) {
        const bool blue = i == 5;
        rgb.insert(rgb.end(),
                   {static_cast<std::uint8_t>(blue ? 0 : 255), 0, static_cast<std::uint8_t>(blue ? 255 : 0)});
    }
    const Raster r(3, 2, rgb);
    const struct {
        Rgb colour;
        int tolerance, cx, cy, radius;
        int count;
    } cases[] = {
        {{255, 0, 0}, 0, 1, 1, 5, 5}, // the window is cut at the page's edges
        {{250, 5, 5}, 5, 0, 0, 0, 1}, {{250, 5, 5}, 4, 0, 0, 0, 0},
        {{0, 0, 255}, 0, 0, 0, 1, 0}, {{0, 0, 255}, 0, 2, 1, 0, 1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(r.CountNear(c.colour, c.tolerance, c.cx, c.cy, c.radius), c.count)
            << c.cx << "," << c.cy << " radius " << c.radius;
    EXPECT_THROW(r.At(3, 0), std::out_of_range);
    EXPECT_TRUE(Raster(2, 2, std::vector<std::uint8_t>(3)).Empty()); // samples do not fit the size
}

} // namespace
} // namespace klv::gs
