// The klvps settings as IPP attributes of the printer application: one
// vendor job-template attribute per row of settings_table.h, with its
// -default and -supported forms, and the standard job-password. A job's
// values arrive as text (PAPPL hands vendor values over as strings) and are
// set into a device-mode block by the settings' own rules, so a refusal
// reads as it does in every other front end.
#pragma once

#include "libraries/settings/settings.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace klv::app {

// The longest job password the ticket holds, and the only encryption the
// printer can use (the plug-in writes the password as it is given).
inline constexpr int kJobPasswordMax = static_cast<int>(settings::SettingOf(settings::Id::kJobPassword).max);
inline constexpr const char* kJobPasswordEncryption = "none";

// What one attribute's value was refused for: the attribute, its value as
// given and the reason in the words every front end uses.
struct AttributeRefusal {
    std::string attribute;
    std::string message; // "klvps-watermark-angle: 99999 is outside -32768 to 32767 degrees"
};

// A job's values as text, by attribute name, in the order they apply.
using AttributeValues = std::vector<std::pair<std::string, std::string>>;

// Sets each klvps- value into block (dm::kSize bytes). An empty value
// leaves the field as the block has it, except for the watermark's text,
// where empty switches the watermark off. Names that are not settings are
// ignored. Stops at the first refusal, which it returns.
std::optional<AttributeRefusal> ApplyAttributes(std::vector<std::uint8_t>& block,
                                                const AttributeValues& values);

// The IPP job-password (octets as sent) with its job-password-encryption
// keyword (empty when the client sent none) into the ticket's password. A
// password the printer cannot use as given is refused rather than cut.
std::optional<AttributeRefusal> ApplyJobPassword(std::vector<std::uint8_t>& block,
                                                 const std::string& password, const std::string& encryption);

// A setting's value in block as text an IPP client sends back: decimal
// integers, "true"/"false", "R,G,B" colours, texts as they are; the
// watermark's text is "none" while the watermark is off.
std::string ValueText(const std::vector<std::uint8_t>& block, const settings::Setting& setting);

} // namespace klv::app
