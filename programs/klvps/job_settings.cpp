#include "programs/klvps/job_settings.h"

#include "libraries/settings/devmode_fields.h"

namespace klv::cli {

namespace {

struct Shortcut {
    const char* option;
    const char* field;
    std::string value;
};

bool CheckRange(const char* option, long long value, long long lo, long long hi, const char* unit,
                std::string* error) {
    if (value >= lo && value <= hi)
        return true;
    if (error != nullptr)
        *error = std::string(option) + ": " + std::to_string(value) + " is outside " + std::to_string(lo) +
                 " to " + std::to_string(hi) + " " + unit;
    return false;
}

} // namespace

bool JobSettings::Any() const {
    return watermark || watermarkFont || watermarkSize || watermarkAngle || watermarkColour || fullPage ||
           flip || jobName || jobPassword;
}

bool ApplyJobSettings(std::vector<std::uint8_t>& block, const JobSettings& s, std::string* error) {
    if (s.watermarkSize && !CheckRange("--watermark-size", *s.watermarkSize, kMinWatermarkSize,
                                       kMaxWatermarkSize, "points", error))
        return false;
    if (s.watermarkAngle && !CheckRange("--watermark-angle", *s.watermarkAngle, kMinWatermarkAngle,
                                        kMaxWatermarkAngle, "degrees", error))
        return false;

    std::vector<Shortcut> shortcuts;
    if (s.watermark) {
        shortcuts.push_back({"--watermark", "sWatermarkOn", "1"});
        shortcuts.push_back({"--watermark", "szWatermarkText", *s.watermark});
    }
    if (s.watermarkFont)
        shortcuts.push_back({"--watermark-font", "szWatermarkFont", *s.watermarkFont});
    if (s.watermarkSize)
        shortcuts.push_back({"--watermark-size", "lWatermarkSize", std::to_string(*s.watermarkSize)});
    if (s.watermarkAngle)
        shortcuts.push_back({"--watermark-angle", "sWatermarkAngle", std::to_string(*s.watermarkAngle)});
    if (s.watermarkColour)
        shortcuts.push_back({"--watermark-color", "rgbWatermarkColor", *s.watermarkColour});
    if (s.fullPage)
        shortcuts.push_back({"--full-page", "sFullPage", "1"});
    if (s.flip)
        shortcuts.push_back({"--flip", "sFlip", "1"});
    if (s.jobName)
        shortcuts.push_back({"--job-name", "szJobName", *s.jobName});
    if (s.jobPassword)
        shortcuts.push_back({"--job-password", "szJobPassword", *s.jobPassword});

    std::vector<std::uint8_t> updated = block;
    for (const Shortcut& shortcut : shortcuts) {
        std::string why;
        if (!settings::ApplyAssignment(updated, std::string(shortcut.field) + "=" + shortcut.value, &why)) {
            // The field's message starts with the field name; the person
            // gave the option.
            const std::string prefix = std::string(shortcut.field) + ": ";
            if (why.rfind(prefix, 0) == 0)
                why = why.substr(prefix.size());
            if (error != nullptr)
                *error = std::string(shortcut.option) + ": " + why;
            return false;
        }
    }
    block = std::move(updated);
    return true;
}

} // namespace klv::cli
