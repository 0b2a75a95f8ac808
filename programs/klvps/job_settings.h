// The job's settings as a person gives them on the command line of
// `klvps print`, each a shortcut for a device-mode field.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace klv::cli {

struct JobSettings {
    std::optional<std::string> watermark; // the text; switches the watermark on
    std::optional<std::string> watermarkFont;
    std::optional<long long> watermarkSize;  // points
    std::optional<long long> watermarkAngle; // degrees, counter-clockwise
    std::optional<std::string> watermarkColour;
    bool fullPage = false;
    bool flip = false;
    std::optional<std::string> jobName;
    std::optional<std::string> jobPassword;

    bool Any() const;
};

// Limits of the numeric shortcuts.
constexpr long long kMinWatermarkSize = 1, kMaxWatermarkSize = 1000;
constexpr long long kMinWatermarkAngle = -360, kMaxWatermarkAngle = 360;

// Applies the settings to a device-mode block. On a bad value returns
// false with a message that names the option, leaving block unchanged.
bool ApplyJobSettings(std::vector<std::uint8_t>& block, const JobSettings& settings, std::string* error);

} // namespace klv::cli
