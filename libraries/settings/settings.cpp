#include "libraries/settings/settings.h"

#include "libraries/support/utf.h"
#include "strings/ps_name.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace klv::settings {

namespace {

std::string Lower(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && Lower(a) == Lower(b);
}

std::optional<bool> ParseSwitch(std::string_view text) {
    const std::string v = Lower(text);
    if (v == "true" || v == "yes" || v == "on" || v == "1")
        return true;
    if (v == "false" || v == "no" || v == "off" || v == "0")
        return false;
    return std::nullopt;
}

bool AllOf(std::string_view text, std::string_view digits) {
    return !text.empty() && text.find_first_not_of(digits) == std::string_view::npos;
}

// An optional sign and decimal digits, nothing around them. A number too
// large for 64 bits becomes the nearest 64-bit value, which the range
// refuses.
std::optional<long long> ParseInteger(std::string_view text) {
    const bool negative = text.starts_with('-');
    const std::string_view digits = text.substr(negative || text.starts_with('+') ? 1 : 0);
    if (!AllOf(digits, "0123456789"))
        return std::nullopt;
    long long value = 0;
    const std::string signedDigits = (negative ? "-" : "") + std::string(digits);
    const auto [end, error] =
        std::from_chars(signedDigits.data(), signedDigits.data() + signedDigits.size(), value);
    if (error == std::errc::result_out_of_range)
        return negative ? std::numeric_limits<long long>::min() : std::numeric_limits<long long>::max();
    return value;
}

std::optional<Colour> ParseColour(std::string_view text) {
    std::string_view hex = text.starts_with('#') ? text.substr(1) : text;
    if (hex.size() == 6 && AllOf(hex, "0123456789abcdefABCDEF")) {
        std::uint8_t rgb[3];
        for (int i = 0; i < 3; ++i)
            std::from_chars(hex.data() + 2 * i, hex.data() + 2 * i + 2, rgb[i], 16);
        return Colour{rgb[0], rgb[1], rgb[2]};
    }
    std::uint8_t rgb[3];
    std::size_t start = 0;
    for (int i = 0; i < 3; ++i) {
        const std::size_t comma = text.find(',', start);
        if ((i < 2) != (comma != std::string_view::npos))
            return std::nullopt;
        const std::string_view part = text.substr(start, i < 2 ? comma - start : std::string_view::npos);
        if (!AllOf(part, "0123456789"))
            return std::nullopt;
        unsigned long long value = 0;
        if (std::from_chars(part.data(), part.data() + part.size(), value).ec != std::errc() || value > 255)
            return std::nullopt;
        rgb[i] = static_cast<std::uint8_t>(value);
        start = comma + 1;
    }
    return Colour{rgb[0], rgb[1], rgb[2]};
}

std::optional<std::u16string> ParseText(std::string_view text) {
    const std::string utf8(text);
    std::u16string wide = support::Utf8ToUtf16(utf8);
    if (support::Utf16ToUtf8(wide) != utf8)
        return std::nullopt;
    return wide;
}

Refusal Refuse(Problem problem, Id id, std::string value) {
    return {problem, id, std::move(value)};
}

void PutWide(std::uint8_t* block, DWORD offset, long long maxChars, const std::u16string& text) {
    for (long long i = 0; i <= maxChars; ++i) {
        const char16_t unit = i < static_cast<long long>(text.size()) ? text[static_cast<std::size_t>(i)] : 0;
        dm::PutU16(block, offset + 2 * static_cast<DWORD>(i), unit);
    }
}

Refusal CheckText(const Setting& s, const std::u16string& text) {
    if (static_cast<long long>(text.size()) > s.max)
        return Refuse(Problem::kTooLong, s.id, support::Utf16ToUtf8(text));
    if (s.kind == Kind::kFontName &&
        !IsWholePsName(reinterpret_cast<const WCHAR*>(text.c_str()), static_cast<DWORD>(text.size())))
        return Refuse(Problem::kNotFontName, s.id, support::Utf16ToUtf8(text));
    return {};
}

} // namespace

Refusal Parse(Id id, std::string_view text, Value* value) {
    const Setting& s = SettingOf(id);
    switch (s.kind) {
    case Kind::kWatermarkText: {
        const std::string word = Lower(text);
        if (text.empty() || word == "none" || word == "off" || word == "false" || word == "no") {
            *value = WatermarkValue{false, std::nullopt};
            return {};
        }
        if (word == "on" || word == "true" || word == "yes") {
            *value = WatermarkValue{true, std::nullopt};
            return {};
        }
        const std::optional<std::u16string> wide = ParseText(text);
        if (!wide)
            return Refuse(Problem::kNotUtf8, id, std::string(text));
        *value = WatermarkValue{true, *wide};
        return {};
    }
    case Kind::kFontName:
    case Kind::kText: {
        const std::optional<std::u16string> wide = ParseText(text);
        if (!wide)
            return Refuse(Problem::kNotUtf8, id, std::string(text));
        *value = *wide;
        return {};
    }
    case Kind::kInteger: {
        const std::optional<long long> number = ParseInteger(text);
        if (!number)
            return Refuse(Problem::kNotANumber, id, std::string(text));
        *value = *number;
        return {};
    }
    case Kind::kColour: {
        const std::optional<Colour> colour = ParseColour(text);
        if (!colour)
            return Refuse(Problem::kNotAColour, id, std::string(text));
        *value = *colour;
        return {};
    }
    case Kind::kSwitch: {
        const std::optional<bool> on = ParseSwitch(text);
        if (!on)
            return Refuse(Problem::kNotASwitch, id, std::string(text));
        *value = *on;
        return {};
    }
    }
    return Refuse(Problem::kWrongKind, id, std::string(text));
}

Refusal Check(Id id, const Value& value) {
    const Setting& s = SettingOf(id);
    switch (s.kind) {
    case Kind::kWatermarkText: {
        const auto* watermark = std::get_if<WatermarkValue>(&value);
        if (watermark == nullptr)
            return Refuse(Problem::kWrongKind, id, "");
        return watermark->text ? CheckText(s, *watermark->text) : Refusal{};
    }
    case Kind::kFontName:
    case Kind::kText: {
        const auto* text = std::get_if<std::u16string>(&value);
        return text == nullptr ? Refuse(Problem::kWrongKind, id, "") : CheckText(s, *text);
    }
    case Kind::kInteger: {
        const auto* number = std::get_if<long long>(&value);
        if (number == nullptr)
            return Refuse(Problem::kWrongKind, id, "");
        if (*number < s.min || *number > s.max)
            return Refuse(Problem::kOutOfRange, id, std::to_string(*number));
        return {};
    }
    case Kind::kColour:
        return std::holds_alternative<Colour>(value) ? Refusal{} : Refuse(Problem::kWrongKind, id, "");
    case Kind::kSwitch:
        return std::holds_alternative<bool>(value) ? Refusal{} : Refuse(Problem::kWrongKind, id, "");
    }
    return Refuse(Problem::kWrongKind, id, "");
}

Refusal Set(std::uint8_t* block, Id id, const Value& value) {
    if (const Refusal r = Check(id, value))
        return r;
    const Setting& s = SettingOf(id);
    switch (s.kind) {
    case Kind::kWatermarkText: {
        const WatermarkValue& watermark = std::get<WatermarkValue>(value);
        if (watermark.text)
            PutWide(block, s.field, s.max, *watermark.text);
        dm::PutS16(block, dm::kSWatermarkOn, watermark.on ? 1 : 0);
        break;
    }
    case Kind::kFontName:
    case Kind::kText:
        PutWide(block, s.field, s.max, std::get<std::u16string>(value));
        break;
    case Kind::kInteger:
        if (s.storage == Storage::kS16)
            dm::PutS16(block, s.field, static_cast<std::int16_t>(std::get<long long>(value)));
        else
            dm::PutU32(block, s.field,
                       static_cast<std::uint32_t>(static_cast<std::int32_t>(std::get<long long>(value))));
        break;
    case Kind::kColour: {
        // The fourth byte is never read; it keeps what it held.
        const Colour& colour = std::get<Colour>(value);
        dm::PutByte(block, s.field, colour.red);
        dm::PutByte(block, s.field + 1, colour.green);
        dm::PutByte(block, s.field + 2, colour.blue);
        break;
    }
    case Kind::kSwitch:
        dm::PutS16(block, s.field, std::get<bool>(value) ? s.on : s.off);
        break;
    }
    return {};
}

Refusal Set(std::vector<std::uint8_t>& block, Id id, const Value& value) {
    if (block.size() != dm::kSize)
        return Refuse(Problem::kNotABlock, id, std::to_string(block.size()));
    return Set(block.data(), id, value);
}

Refusal SetFromText(std::vector<std::uint8_t>& block, Id id, std::string_view text) {
    Value value;
    if (const Refusal r = Parse(id, text, &value))
        return r;
    return Set(block, id, value);
}

std::string Describe(const Refusal& r) {
    const Setting& s = SettingOf(r.id);
    switch (r.problem) {
    case Problem::kNone:
        return "accepted";
    case Problem::kWrongKind:
        return "the value is not of the setting's kind";
    case Problem::kNotUtf8:
        return "the value is not valid UTF-8";
    case Problem::kNotANumber:
        return "'" + r.value + "' is not a number";
    case Problem::kOutOfRange:
        return r.value + " is outside " + std::to_string(s.min) + " to " + std::to_string(s.max) + " " +
               s.unit;
    case Problem::kTooLong:
        return std::to_string(support::Utf8ToUtf16(r.value).size()) + " characters, at most " +
               std::to_string(s.max) + " allowed";
    case Problem::kNotFontName:
        return "'" + r.value +
               "' is not a PostScript font name (no spaces, control characters or ()<>[]{}/%, and only "
               "characters of the ANSI code page that stand in a name)";
    case Problem::kNotAColour:
        return "'" + r.value + "' is not a colour (R,G,B with 0 to 255 each, or #RRGGBB)";
    case Problem::kNotASwitch:
        return "'" + r.value + "' is not a boolean (true or false)";
    case Problem::kNotABlock:
        return "the device mode is not " + std::to_string(dm::kSize) + " bytes long";
    }
    return "refused";
}

const Setting* FindByKey(std::string_view key) {
    const auto* found = std::find_if(std::begin(kSettings), std::end(kSettings),
                                     [&](const Setting& s) { return EqualsIgnoringCase(s.key, key); });
    return found == std::end(kSettings) ? nullptr : found;
}

const Setting* FindByCupsOption(std::string_view name) {
    const auto* found = std::find_if(std::begin(kSettings), std::end(kSettings), [&](const Setting& s) {
        return EqualsIgnoringCase(s.cupsOption, name);
    });
    return found == std::end(kSettings) ? nullptr : found;
}

} // namespace klv::settings
