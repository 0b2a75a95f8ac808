#include "programs/cupsfilter/job_settings.h"

#include "libraries/settings/devmode_fields.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <optional>

namespace klv::cups {

namespace {

constexpr std::string_view kPrefix = "klvps-";

std::string Lower(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::optional<bool> ParseBoolean(const std::string& value) {
    const std::string v = Lower(value);
    if (v == "true" || v == "yes" || v == "on" || v == "1")
        return true;
    if (v == "false" || v == "no" || v == "off" || v == "0")
        return false;
    return std::nullopt;
}

bool Fail(std::string* error, const std::string& message) {
    if (error != nullptr)
        *error = message;
    return false;
}

// Sets one field, reporting a refusal under the option's name rather than
// the field's.
bool Set(std::vector<std::uint8_t>& block, const std::string& option, const std::string& field,
         const std::string& value, std::string* error) {
    std::string why;
    if (settings::ApplyAssignment(block, field + "=" + value, &why))
        return true;
    if (why.rfind(field + ": ", 0) == 0)
        why = why.substr(field.size() + 2);
    return Fail(error, option + ": " + why);
}

bool SetBoolean(std::vector<std::uint8_t>& block, const CupsOption& option, const std::string& field,
                const char* on, const char* off, std::string* error) {
    const std::optional<bool> flag = ParseBoolean(option.value);
    if (!flag)
        return Fail(error, option.name + ": '" + option.value + "' is not a boolean (true or false)");
    return Set(block, option.name, field, *flag ? on : off, error);
}

bool SetWatermark(std::vector<std::uint8_t>& block, const CupsOption& option, std::string* error) {
    const std::string v = Lower(option.value);
    if (v.empty() || v == "none" || v == "false" || v == "off" || v == "no")
        return Set(block, option.name, "sWatermarkOn", "0", error);
    if (v != "true" && v != "on" && v != "yes" &&
        !Set(block, option.name, "szWatermarkText", option.value, error))
        return false;
    return Set(block, option.name, "sWatermarkOn", "1", error);
}

bool SetSize(std::vector<std::uint8_t>& block, const CupsOption& option, std::string* error) {
    // The size is printed into the job as an unsigned number: zero or a
    // negative size would draw nothing or ask for a font billions of points
    // high.
    char* end = nullptr;
    const long long size = std::strtoll(option.value.c_str(), &end, 10);
    if (!option.value.empty() && end != nullptr && *end == '\0' && (size < 1 || size > 2147483647))
        return Fail(error, option.name + ": " + option.value + " is outside 1 to 2147483647");
    return Set(block, option.name, "lWatermarkSize", option.value, error);
}

bool SetColour(std::vector<std::uint8_t>& block, const CupsOption& option, std::string* error) {
    // PPD choices cannot hold '#', so RRGGBB stands for #RRGGBB there.
    const bool bareHex = option.value.size() == 6 &&
                         option.value.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos;
    return Set(block, option.name, "rgbWatermarkColor", bareHex ? "#" + option.value : option.value, error);
}

struct OptionRule {
    const char* name;
    bool (*apply)(std::vector<std::uint8_t>& block, const CupsOption& option, std::string* error);
};

const OptionRule kRules[] = {
    {"klvps-watermark", SetWatermark},
    {"klvps-watermark-angle", [](std::vector<std::uint8_t>& b, const CupsOption& o,
                                 std::string* e) { return Set(b, o.name, "sWatermarkAngle", o.value, e); }},
    {"klvps-watermark-color", SetColour},
    {"klvps-watermark-size", SetSize},
    {"klvps-watermark-font", [](std::vector<std::uint8_t>& b, const CupsOption& o,
                                std::string* e) { return Set(b, o.name, "szWatermarkFont", o.value, e); }},
    {"klvps-full-page", [](std::vector<std::uint8_t>& b, const CupsOption& o,
                           std::string* e) { return SetBoolean(b, o, "sFullPage", "1", "-1", e); }},
    {"klvps-flip", [](std::vector<std::uint8_t>& b, const CupsOption& o,
                      std::string* e) { return SetBoolean(b, o, "sFlip", "1", "0", e); }},
    {"klvps-job-name", [](std::vector<std::uint8_t>& b, const CupsOption& o,
                          std::string* e) { return Set(b, o.name, "szJobName", o.value, e); }},
    {"klvps-job-password", [](std::vector<std::uint8_t>& b, const CupsOption& o,
                              std::string* e) { return Set(b, o.name, "szJobPassword", o.value, e); }},
};

bool IsJobOption(const std::string& name) {
    return Lower(name).rfind(kPrefix, 0) == 0;
}

} // namespace

bool ApplyJobOptions(std::vector<std::uint8_t>& block, const std::vector<CupsOption>& options,
                     std::string* error) {
    for (const CupsOption& option : options) {
        if (!IsJobOption(option.name))
            continue;
        const std::string name = Lower(option.name);
        const auto rule = std::find_if(std::begin(kRules), std::end(kRules),
                                       [&](const OptionRule& r) { return name == r.name; });
        if (rule == std::end(kRules)) {
            std::string known;
            for (const OptionRule& r : kRules)
                known += std::string(known.empty() ? "" : ", ") + r.name;
            return Fail(error, "unknown option " + option.name + " (options: " + known + ")");
        }
        if (!rule->apply(block, {name, option.value}, error))
            return false;
    }
    return true;
}

std::vector<CupsOption> PpdDefaults(std::istream& ppd) {
    constexpr std::string_view kDefault = "*Default";
    const std::string keyword = std::string(kDefault) + std::string(kPrefix);
    std::vector<CupsOption> defaults;
    for (std::string line; std::getline(ppd, line);) {
        if (line.rfind(keyword, 0) != 0)
            continue;
        const std::size_t colon = line.find(':');
        if (colon == std::string::npos)
            continue;
        const std::size_t start = line.find_first_not_of(" \t", colon + 1);
        const std::size_t end = line.find_last_not_of(" \t\r");
        const std::string value = start == std::string::npos ? "" : line.substr(start, end + 1 - start);
        defaults.push_back({line.substr(kDefault.size(), colon - kDefault.size()), value});
    }
    return defaults;
}

std::vector<CupsOption> MergeOptions(std::vector<CupsOption> defaults, const std::vector<CupsOption>& given) {
    for (const CupsOption& option : given) {
        auto same = std::find_if(defaults.begin(), defaults.end(),
                                 [&](const CupsOption& d) { return Lower(d.name) == Lower(option.name); });
        if (same != defaults.end())
            same->value = option.value;
        else
            defaults.push_back(option);
    }
    return defaults;
}

bool HasJobOptions(const std::vector<CupsOption>& options) {
    return std::any_of(options.begin(), options.end(),
                       [](const CupsOption& o) { return IsJobOption(o.name); });
}

} // namespace klv::cups
