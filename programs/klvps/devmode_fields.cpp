#include "programs/klvps/devmode_fields.h"

#include "devmode/layout.h"
#include "strings/ps_name.h"
#include "libraries/simulator/simulator.h"

#include <cstdlib>
#include <limits>
#include <string_view>

namespace klv::cli {

namespace {

// The text of a wide field up to its terminator or the end of its room.
std::string ReadString(const std::vector<std::uint8_t>& b, const Field& f) {
    std::u16string text;
    for (std::uint32_t i = 0; i <= f.maxChars; ++i) {
        const char16_t unit = static_cast<char16_t>(dm::U16(b.data(), f.offset + 2 * i));
        if (unit == 0)
            break;
        text.push_back(unit);
    }
    return support::Utf16ToUtf8(text);
}

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

bool ParseColour(const std::string& text, std::uint8_t rgb[3]) {
    if (text.size() == 7 && text[0] == '#') {
        for (int i = 0; i < 3; ++i) {
            const std::string part = text.substr(1 + 2 * i, 2);
            if (part.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
                return false;
            rgb[i] = static_cast<std::uint8_t>(std::strtoul(part.c_str(), nullptr, 16));
        }
        return true;
    }
    size_t start = 0;
    for (int i = 0; i < 3; ++i) {
        const size_t comma = text.find(',', start);
        if ((i < 2) != (comma != std::string::npos))
            return false;
        const std::string part = text.substr(start, i < 2 ? comma - start : std::string::npos);
        long long v = 0;
        if (part.find_first_not_of("0123456789") != std::string::npos || !ParseInteger(part, &v) || v > 255)
            return false;
        rgb[i] = static_cast<std::uint8_t>(v);
        start = comma + 1;
    }
    return true;
}

// The font is written into the job as a bare name: the plug-in's own rule
// decides, under the ANSI code page it converts to, whether the name would
// be written as given.
bool IsPostScriptName(const std::u16string& text) {
    return IsWholePsName(text.c_str(), static_cast<DWORD>(text.size()));
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

const Field* FindField(const std::string& name) {
    for (const Field& f : Fields()) {
        if (name == f.name)
            return &f;
    }
    return nullptr;
}

nlohmann::ordered_json DevModeToJson(const std::vector<std::uint8_t>& block) {
    nlohmann::ordered_json out = nlohmann::ordered_json::object();
    if (block.size() < dm::kSize)
        return out;
    for (const Field& f : Fields()) {
        switch (f.kind) {
        case FieldKind::kU8:
            out[f.name] = dm::Byte(block.data(), f.offset);
            break;
        case FieldKind::kS16:
            out[f.name] = dm::S16(block.data(), f.offset);
            break;
        case FieldKind::kU32:
            out[f.name] = dm::U32(block.data(), f.offset);
            break;
        case FieldKind::kS32:
            out[f.name] = static_cast<std::int32_t>(dm::U32(block.data(), f.offset));
            break;
        case FieldKind::kColour:
            out[f.name] = {{"red", dm::Byte(block.data(), f.offset)},
                           {"green", dm::Byte(block.data(), f.offset + 1)},
                           {"blue", dm::Byte(block.data(), f.offset + 2)}};
            break;
        case FieldKind::kWide:
            out[f.name] = ReadString(block, f);
            break;
        }
    }
    return out;
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
    case FieldKind::kColour: {
        std::uint8_t rgb[3];
        if (!ParseColour(value, rgb))
            return fail(name + ": '" + value + "' is not a colour (R,G,B with 0 to 255 each, or #RRGGBB)");
        for (int i = 0; i < 3; ++i)
            dm::PutByte(block.data(), f->offset + i, rgb[i]);
        return true;
    }
    case FieldKind::kWide: {
        const std::u16string text = support::Utf8ToUtf16(value);
        if (support::Utf16ToUtf8(text) != value)
            return fail(name + ": the value is not valid UTF-8");
        if (text.size() > f->maxChars)
            return fail(name + ": " + std::to_string(text.size()) + " characters, at most " +
                        std::to_string(f->maxChars) + " allowed");
        if (f->offset == dm::kSzWatermarkFont && !IsPostScriptName(text))
            return fail(name + ": '" + value +
                        "' is not a PostScript font name (no spaces, control characters or ()<>[]{}/%, "
                        "and only characters of the ANSI code page that stand in a name)");
        const std::uint32_t room = f->maxChars + 1;
        for (std::uint32_t i = 0; i < room; ++i) {
            const char16_t unit = i < text.size() ? text[i] : 0;
            dm::PutU16(block.data(), f->offset + 2 * i, unit);
        }
        return true;
    }
    }
    return fail("unsupported field");
}

} // namespace klv::cli
