#include "libraries/settings/devmode_fields.h"

#include "devmode/layout.h"
#include "libraries/settings/settings.h"
#include "libraries/support/utf.h"

#include <cstdlib>
#include <limits>
#include <string_view>

namespace klv::settings {

namespace {

bool AllDigits(std::string_view text, std::string_view digits) {
    return !text.empty() && text.find_first_not_of(digits) == std::string_view::npos;
}

// Parses a whole integer: an optional sign and decimal digits, or 0x and
// hexadecimal digits, nothing else (no spaces or control characters around
// it). A number too large for any field gives the nearest 64-bit value,
// which the caller's range check refuses.
bool ParseInteger(const std::string& text, long long* value) {
    const std::string_view view(text);
    const bool hex = view.starts_with("0x") || view.starts_with("0X");
    const bool withSign = view.starts_with('+') || view.starts_with('-');
    const bool wellFormed = hex ? AllDigits(view.substr(2), "0123456789abcdefABCDEF")
                                : AllDigits(view.substr(withSign ? 1 : 0), "0123456789");
    if (!wellFormed)
        return false;
    *value = std::strtoll(text.c_str(), nullptr, hex ? 16 : 10);
    return true;
}

// The setting that sets this field, if any.
const Setting* SettingOfField(const Field& f) {
    for (const Setting& s : kSettings) {
        if (s.field == f.offset)
            return &s;
    }
    return nullptr;
}

} // namespace

const std::vector<Field>& Fields() {
    static const std::vector<Field> fields = {
        {"dwSize", dm::kDwSize, FieldKind::kU32, 0},
        {"dwSignature", dm::kDwSignature, FieldKind::kU32, 0},
        {"dwVersion", dm::kDwVersion, FieldKind::kU32, 0},
        {"sSelection", dm::kSSelection, FieldKind::kS16, 0},
        {"sFlip", dm::kSFlip, FieldKind::kS16, 0},
        {"sFullPage", dm::kSFullPage, FieldKind::kS16, 0},
        {"szJobName", dm::kSzJobName, FieldKind::kWide, dm::kJobNameChars - 1},
        {"szJobPassword", dm::kSzJobPassword, FieldKind::kWide, dm::kJobPasswordChars - 1},
        {"sWatermarkOn", dm::kSWatermarkOn, FieldKind::kS16, 0},
        {"sWatermarkAngle", dm::kSWatermarkAngle, FieldKind::kS16, 0},
        {"lWatermarkSize", dm::kLWatermarkSize, FieldKind::kS32, 0},
        {"rgbWatermarkColor", dm::kRgbWatermarkColor, FieldKind::kColour, 0},
        {"szWatermarkText", dm::kSzWatermarkText, FieldKind::kWide, dm::kWatermarkTextChars - 1},
        {"szWatermarkFont", dm::kSzWatermarkFont, FieldKind::kWide, dm::kWatermarkFontChars - 1},
        {"bOptionFlag", dm::kBOptionFlag, FieldKind::kU8, 0},
        {"dwOptionValue", dm::kDwOptionValue, FieldKind::kU32, 0},
    };
    return fields;
}

std::string ReadText(const std::vector<std::uint8_t>& b, const Field& f) {
    std::u16string text;
    for (std::uint32_t i = 0; i <= f.maxChars && f.offset + 2 * i + 1 < b.size(); ++i) {
        const char16_t unit = static_cast<char16_t>(dm::U16(b.data(), f.offset + 2 * i));
        if (unit == 0)
            break;
        text.push_back(unit);
    }
    return support::Utf16ToUtf8(text);
}

const Field* FindField(const std::string& name) {
    for (const Field& f : Fields()) {
        if (name == f.name)
            return &f;
    }
    return nullptr;
}

bool ApplyAssignment(std::vector<std::uint8_t>& block, const std::string& assignment, std::string* error) {
    auto fail = [&](const std::string& what) {
        if (error != nullptr)
            *error = what;
        return false;
    };
    if (block.size() != dm::kSize)
        return fail("the device mode is not " + std::to_string(dm::kSize) + " bytes long");
    const size_t eq = assignment.find('=');
    if (eq == std::string::npos)
        return fail("'" + assignment + "' is not of the form FIELD=VALUE");
    const std::string name = assignment.substr(0, eq);
    const std::string value = assignment.substr(eq + 1);
    const Field* f = FindField(name);
    if (f == nullptr) {
        std::string known;
        for (const Field& k : Fields())
            known += std::string(known.empty() ? "" : ", ") + k.name;
        return fail("unknown field '" + name + "' (fields: " + known + ")");
    }

    // A field a setting sets takes the setting's value and range; the
    // switches are raw numbers here, as the plug-in reads any value.
    const Setting* setting = SettingOfField(*f);
    if (setting != nullptr && setting->kind != Kind::kSwitch) {
        Value typed;
        Refusal refusal;
        switch (f->kind) {
        case FieldKind::kWide: {
            const std::u16string text = support::Utf8ToUtf16(value);
            if (support::Utf16ToUtf8(text) != value)
                refusal = {Problem::kNotUtf8, setting->id, value};
            else if (setting->kind == Kind::kWatermarkText)
                typed = WatermarkValue{dm::S16(block.data(), dm::kSWatermarkOn) != 0, text};
            else
                typed = text;
            break;
        }
        case FieldKind::kColour:
            refusal = Parse(setting->id, value, &typed);
            break;
        default: {
            long long number = 0;
            if (!ParseInteger(value, &number))
                return fail(name + ": '" + value + "' is not a number");
            typed = number;
            break;
        }
        }
        if (!refusal)
            refusal = Set(block, setting->id, typed);
        if (refusal)
            return fail(name + ": " + Describe(refusal));
        return true;
    }

    long long number = 0;
    auto checkRange = [&](long long lo, long long hi) {
        if (!ParseInteger(value, &number))
            return fail(name + ": '" + value + "' is not a number");
        if (number < lo || number > hi)
            return fail(name + ": " + value + " is outside " + std::to_string(lo) + " to " +
                        std::to_string(hi));
        return true;
    };
    switch (f->kind) {
    case FieldKind::kU8:
        if (!checkRange(0, 255))
            return false;
        dm::PutByte(block.data(), f->offset, static_cast<std::uint8_t>(number));
        return true;
    case FieldKind::kS16:
        if (!checkRange(std::numeric_limits<std::int16_t>::min(), std::numeric_limits<std::int16_t>::max()))
            return false;
        dm::PutS16(block.data(), f->offset, static_cast<std::int16_t>(number));
        return true;
    case FieldKind::kU32:
        if (!checkRange(0, std::numeric_limits<std::uint32_t>::max()))
            return false;
        dm::PutU32(block.data(), f->offset, static_cast<std::uint32_t>(number));
        return true;
    case FieldKind::kS32:
        if (!checkRange(std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()))
            return false;
        dm::PutU32(block.data(), f->offset, static_cast<std::uint32_t>(static_cast<std::int32_t>(number)));
        return true;
    case FieldKind::kColour:
    case FieldKind::kWide:
        break; // every such field is a setting's
    }
    return fail("unsupported field");
}

} // namespace klv::settings
