// The named fields of the plug-in's private device mode, as `klvps devmode`
// shows and sets them: every field the layout names, settings and header
// alike, set by a FIELD=VALUE assignment.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace klv::settings {

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

// The text of a wide field up to its terminator or the end of its room, in
// UTF-8.
std::string ReadText(const std::vector<std::uint8_t>& block, const Field& field);

// Applies one "FIELD=VALUE" assignment to block. Numbers are an optional
// sign and decimal digits, or 0x and hexadecimal digits, and must fit the
// field's type; a field that a setting sets takes that setting's rules
// (settings_table.h): its range, the font-name rule, the colour forms.
// Strings are UTF-8 and must fit the field (the rest of a string field is
// cleared). Returns false with a message, leaving block unchanged, when the
// assignment is not valid.
bool ApplyAssignment(std::vector<std::uint8_t>& block, const std::string& assignment, std::string* error);

} // namespace klv::settings
