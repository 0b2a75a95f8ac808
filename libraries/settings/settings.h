// Setting a person's settings into a device-mode block: text as a front end
// receives it is parsed once into a typed value, and the typed value is
// checked against the setting's row of settings_table.h and stored. A
// refusal is a value, described in the same words by every front end, each
// putting its own name for the setting in front:
//
//   std::vector<std::uint8_t> block = ...; // dm::kSize bytes
//   const Refusal r = SetFromText(block, Id::kWatermarkAngle, "99999");
//   if (r) std::cerr << "--watermark-angle: " << Describe(r) << "\n";
//   // --watermark-angle: 99999 is outside -32768 to 32767 degrees
#pragma once

#include "libraries/settings/settings_table.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace klv::settings {

struct Colour {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    bool operator==(const Colour&) const = default;
};

// The watermark's text setting: switched on with a new text, switched on
// with the text the block holds (no text), or switched off.
struct WatermarkValue {
    bool on = false;
    std::optional<std::u16string> text;
    bool operator==(const WatermarkValue&) const = default;
};

// A setting's typed value: text for kText and kFontName, a number for
// kInteger, a colour, on or off for kSwitch, and the watermark's text.
using Value = std::variant<std::u16string, long long, Colour, bool, WatermarkValue>;

enum class Problem {
    kNone,
    kWrongKind,   // a value of another kind than the setting's
    kNotUtf8,     // text that is not valid UTF-8
    kNotANumber,  // an integer that is not an optional sign and decimal digits
    kOutOfRange,  // an integer outside the setting's range
    kTooLong,     // text longer than its field holds
    kNotFontName, // a font name the plug-in would not write as given
    kNotAColour,  // neither R,G,B nor #RRGGBB nor RRGGBB
    kNotASwitch,  // neither true nor false
    kNotABlock,   // a block that is not dm::kSize bytes long
};

struct Refusal {
    Problem problem = Problem::kNone;
    Id id = Id::kWatermark;
    std::string value; // as given, in UTF-8
    explicit operator bool() const { return problem != Problem::kNone; }
};

// Parses text (UTF-8, as a person typed it) as the setting's kind of value.
Refusal Parse(Id id, std::string_view text, Value* value);

// Checks value against the setting's row without storing it.
Refusal Check(Id id, const Value& value);

// Checks value against the setting's row and stores it into block, which
// holds dm::kSize bytes: the field (the rest of a text field cleared) and,
// for the watermark's text, the watermark switch. Nothing is written when
// the value is refused.
Refusal Set(std::uint8_t* block, Id id, const Value& value);
Refusal Set(std::vector<std::uint8_t>& block, Id id, const Value& value);

// Parse, then Set.
Refusal SetFromText(std::vector<std::uint8_t>& block, Id id, std::string_view text);

// The refusal in words, without the setting's name: "99999 is outside
// -32768 to 32767 degrees".
std::string Describe(const Refusal& refusal);

// The setting with this key ("watermark-size"), CUPS option or IPP
// attribute ("klvps-watermark-size"), any case; null when none has it.
const Setting* FindByKey(std::string_view key);
const Setting* FindByCupsOption(std::string_view name);

} // namespace klv::settings
