// Rendered pages as small RGB rasters, read from binary PPM images, and the
// pixel queries the tests make of them.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace klv::gs {

struct Rgb {
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;
    bool operator==(const Rgb&) const = default;
};

// One rendered page, 8 bits per channel, rows from the top of the page.
class Raster {
public:
    Raster() = default;
    Raster(int width, int height, std::vector<std::uint8_t> rgb);

    // Parses a binary PPM (P6, maxval 255) image; nothing when malformed.
    static std::optional<Raster> FromPpm(std::string_view bytes);

    int Width() const { return width_; }
    int Height() const { return height_; }
    bool Empty() const { return width_ == 0 || height_ == 0; }
    Rgb At(int x, int y) const; // (0,0) is the top left corner

    // Pixels within the square of half-size radius around (cx, cy) whose
    // channels all differ from colour by at most tolerance.
    int CountNear(Rgb colour, int tolerance, int cx, int cy, int radius) const;
    bool HasColourNear(Rgb colour, int tolerance, int cx, int cy, int radius) const {
        return CountNear(colour, tolerance, cx, cy, radius) > 0;
    }
    // Same, around the page centre.
    bool HasColourNearCentre(Rgb colour, int tolerance, int radius) const {
        return HasColourNear(colour, tolerance, width_ / 2, height_ / 2, radius);
    }

private:
    int width_ = 0;
    int height_ = 0;
    std::vector<std::uint8_t> rgb_;
};

} // namespace klv::gs
