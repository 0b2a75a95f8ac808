// The named fields of the plug-in's private device mode as the klvps
// command shows and sets them.
#pragma once

#include <nlohmann/json.hpp>

#include <cstdint>
#include <string>
#include <vector>

namespace klv::cli {

enum class FieldKind { kU8, kS16, kU32, kS32, kColour, kWide };

struct Field {
    const char* name;
    std::uint32_t offset;
    FieldKind kind;
    std::uint32_t maxChars; // kWide: characters allowed, not counting the terminator
};

// All named fields, in block order.
const std::vector<Field>& Fields();
const Field* FindField(const std::string& name);

// The block as JSON, one member per named field; strings in UTF-8, the
// colour as {"red", "green", "blue"}.
nlohmann::ordered_json DevModeToJson(const std::vector<std::uint8_t>& block);

// Applies one "FIELD=VALUE" assignment to block. Numbers are an optional
// sign and decimal digits, or 0x and hexadecimal digits, and must fit the
// field's type; the colour is "R,G,B" (0 to 255 each) or "#RRGGBB"; strings
// are UTF-8 and must fit the field (the rest of a string field is cleared);
// the watermark font must be a name the plug-in writes as given. Returns false with a
// message, leaving block unchanged, when the assignment is not valid.
bool ApplyAssignment(std::vector<std::uint8_t>& block, const std::string& assignment, std::string* error);

} // namespace klv::cli
