#include "libraries/ghostscript/raster.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <stdexcept>

namespace klv::gs {

Raster::Raster(int width, int height, std::vector<std::uint8_t> rgb)
    : width_(width), height_(height), rgb_(std::move(rgb)) {
    if (width_ < 0 || height_ < 0 ||
        rgb_.size() != static_cast<size_t>(width_) * static_cast<size_t>(height_) * 3) {
        width_ = height_ = 0;
        rgb_.clear();
    }
}

std::optional<Raster> Raster::FromPpm(std::string_view bytes) {
    size_t p = 0;
    // Reads the next header number, skipping white space and comments.
    auto number = [&](long& value) {
        for (;;) {
            while (p < bytes.size() && std::isspace(static_cast<unsigned char>(bytes[p])))
                ++p;
            if (p < bytes.size() && bytes[p] == '#') {
                while (p < bytes.size() && bytes[p] != '\n')
                    ++p;
                continue;
            }
            break;
        }
        if (p >= bytes.size() || !std::isdigit(static_cast<unsigned char>(bytes[p])))
            return false;
        value = 0;
        while (p < bytes.size() && std::isdigit(static_cast<unsigned char>(bytes[p]))) {
            value = value * 10 + (bytes[p++] - '0');
            if (value > 1000000)
                return false;
        }
        return true;
    };
    if (bytes.substr(0, 2) != "P6")
        return std::nullopt;
    p = 2;
    long width = 0, height = 0, maxval = 0;
    if (!number(width) || !number(height) || !number(maxval) || maxval != 255)
        return std::nullopt;
    // Exactly one white-space byte separates the header from the samples.
    if (p >= bytes.size() || !std::isspace(static_cast<unsigned char>(bytes[p])))
        return std::nullopt;
    ++p;
    const size_t need = static_cast<size_t>(width) * static_cast<size_t>(height) * 3;
    if (bytes.size() - p < need)
        return std::nullopt;
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data() + p);
    return Raster(static_cast<int>(width), static_cast<int>(height),
                  std::vector<std::uint8_t>(data, data + need));
}

Rgb Raster::At(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_)
        throw std::out_of_range("pixel outside the raster");
    const size_t i = (static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x)) * 3;
    return Rgb{rgb_[i], rgb_[i + 1], rgb_[i + 2]};
}

int Raster::CountNear(Rgb colour, int tolerance, int cx, int cy, int radius) const {
    int count = 0;
    for (int y = std::max(0, cy - radius); y <= std::min(height_ - 1, cy + radius); ++y) {
        for (int x = std::max(0, cx - radius); x <= std::min(width_ - 1, cx + radius); ++x) {
            const Rgb c = At(x, y);
            if (std::abs(c.r - colour.r) <= tolerance && std::abs(c.g - colour.g) <= tolerance &&
                std::abs(c.b - colour.b) <= tolerance)
                ++count;
        }
    }
    return count;
}

} // namespace klv::gs
