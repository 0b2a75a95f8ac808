// File: settings_table.h
//
// The settings a person can give a job, one row each: the device-mode field
// it sets, its kind of value, its one range, and its name in every front
// end (the klvps print flag, the CUPS option and PPD keyword with the PPD's
// choices, the printer application's IPP attribute). Everything a front end
// offers is generated from this table or checked against it:
//
//   for (const klv::settings::Setting& s : klv::settings::kSettings)
//       app.add_option(s.flag, ..., s.help);
//
// Header only, with nothing but the device-mode layout, so that the Windows
// UI plug-in can include it as the host programs do.
//
// Adding a setting: add its device-mode field to devmode/layout.h, a row
// here (its Id in the same order), and then follow docs/DEVELOPING.md.
#pragma once

#include "devmode/layout.h"

#include <cstdint>
#include <limits>
#include <string_view>

namespace klv::settings {

enum class Kind {
    kWatermarkText, // text that switches the watermark on; "none", "off", "false", "no" or empty switch it
                    // off; "on", "true" or "yes" switch it on with the text the block already holds
    kFontName,      // text that must be written into the job as a bare PostScript name
    kText,          // text
    kInteger,       // a whole number in decimal
    kColour,        // R,G,B with 0 to 255 each, #RRGGBB, or RRGGBB (PPD choices cannot hold '#')
    kSwitch,        // true, yes, on or 1; false, no, off or 0 (any case)
};

enum class Id {
    kWatermark,
    kWatermarkFont,
    kWatermarkSize,
    kWatermarkAngle,
    kWatermarkColor,
    kFullPage,
    kFlip,
    kJobName,
    kJobPassword,
};

// How a field is stored, for the compile-time check against the layout.
enum class Storage { kS16, kS32, kColour, kWide };

struct Setting {
    Id id;
    const char* key;       // the setting's own name; every front-end name is built on it
    const char* label;     // what a user interface shows
    DWORD field;           // offset of the device-mode field it sets
    const char* fieldName; // that field as devmode/layout.h and `klvps devmode` name it
    Storage storage;
    Kind kind;
    // Integers: the accepted values. Texts: the characters (UTF-16 units)
    // the field holds, at most; min is 0 (1 for a font name).
    long long min;
    long long max;
    const char* unit; // after a number in messages: "points", "degrees"; texts: "characters"
    // Why the range is narrower than what the field can store; null when
    // it is the field's own.
    const char* narrowedBecause;
    std::int16_t on;          // switches: the value written for on
    std::int16_t off;         // and for off
    const char* flag;         // klvps print
    const char* cupsOption;   // CUPS option (-o NAME=VALUE) and PPD main keyword
    const char* ppdChoices;   // the PPD's choices, space-separated; empty: an -o option only
    const char* ippAttribute; // the printer application's job-template attribute
    const char* ippSyntax;    // its syntax: boolean, integer, name(MAX) or text(MAX)
    const char* help;
};

inline constexpr long long kS16Min = std::numeric_limits<std::int16_t>::min();
inline constexpr long long kS16Max = std::numeric_limits<std::int16_t>::max();
inline constexpr long long kS32Max = std::numeric_limits<std::int32_t>::max();

// clang-format off
inline constexpr Setting kSettings[] = {
    {Id::kWatermark, "watermark", "Watermark text", dm::kSzWatermarkText, "szWatermarkText", Storage::kWide,
     Kind::kWatermarkText, 0, dm::kWatermarkTextChars - 1, "characters", nullptr, 1, 0,
     "--watermark", "klvps-watermark", "None DRAFT CONFIDENTIAL COPY", "klvps-watermark", "text(MAX)",
     "Watermark text, which switches the watermark on; none switches it off"},
    {Id::kWatermarkFont, "watermark-font", "Watermark font", dm::kSzWatermarkFont, "szWatermarkFont", Storage::kWide,
     Kind::kFontName, 1, dm::kWatermarkFontChars - 1, "characters", nullptr, 0, 0,
     "--watermark-font", "klvps-watermark-font", "Helvetica Helvetica-Bold Times-Roman Courier",
     "klvps-watermark-font", "name(MAX)",
     "Watermark font, a PostScript font name the printer has"},
    {Id::kWatermarkSize, "watermark-size", "Watermark size", dm::kLWatermarkSize, "lWatermarkSize", Storage::kS32,
     Kind::kInteger, 1, kS32Max, "points",
     "the plug-in writes the size as an unsigned number: zero or a negative size would draw nothing or ask "
     "for a font billions of points high", 0, 0,
     "--watermark-size", "klvps-watermark-size", "36 72 108 144", "klvps-watermark-size", "integer",
     "Watermark size in points"},
    {Id::kWatermarkAngle, "watermark-angle", "Watermark angle", dm::kSWatermarkAngle, "sWatermarkAngle", Storage::kS16,
     Kind::kInteger, kS16Min, kS16Max, "degrees", nullptr, 0, 0,
     "--watermark-angle", "klvps-watermark-angle", "0 30 45 90", "klvps-watermark-angle", "integer",
     "Watermark angle in degrees, counter-clockwise"},
    {Id::kWatermarkColor, "watermark-color", "Watermark colour", dm::kRgbWatermarkColor, "rgbWatermarkColor",
     Storage::kColour, Kind::kColour, 0, 0, nullptr, nullptr, 0, 0,
     "--watermark-color", "klvps-watermark-color", "E6E6E6 808080 FF0000 0000FF", "klvps-watermark-color",
     "text(MAX)",
     "Watermark colour, R,G,B (0 to 255 each) or #RRGGBB"},
    {Id::kFullPage, "full-page", "Full page", dm::kSFullPage, "sFullPage", Storage::kS16,
     Kind::kSwitch, 0, 0, nullptr, nullptr, 1, -1,
     "--full-page", "klvps-full-page", "True False", "klvps-full-page", "boolean",
     "Print on the whole page (full-page origin patch)"},
    {Id::kFlip, "flip", "Flip", dm::kSFlip, "sFlip", Storage::kS16,
     Kind::kSwitch, 0, 0, nullptr, nullptr, 1, 0,
     "--flip", "klvps-flip", "True False", "klvps-flip", "boolean",
     "Set the flip key"},
    {Id::kJobName, "job-name", "Job name", dm::kSzJobName, "szJobName", Storage::kWide,
     Kind::kText, 0, dm::kJobNameChars - 1, "characters", nullptr, 0, 0,
     "--job-name", "klvps-job-name", "", "klvps-job-name", "text(MAX)",
     "Job name of the job ticket (default: the document name)"},
    {Id::kJobPassword, "job-password", "Job password", dm::kSzJobPassword, "szJobPassword", Storage::kWide,
     Kind::kText, 0, dm::kJobPasswordChars - 1, "characters", nullptr, 0, 0,
     "--job-password", "klvps-job-password", "", "klvps-job-password", "text(MAX)",
     "Job password of the job ticket"},
};
// clang-format on

inline constexpr std::size_t kSettingCount = sizeof kSettings / sizeof kSettings[0];

constexpr const Setting& SettingOf(Id id) {
    return kSettings[static_cast<std::size_t>(id)];
}

// The 35 fonts every PostScript level 2 printer has resident, which the
// user interfaces offer as the watermark font's choices.
inline constexpr const char* kStandardFonts[] = {
    "AvantGarde-Book",
    "AvantGarde-BookOblique",
    "AvantGarde-Demi",
    "AvantGarde-DemiOblique",
    "Bookman-Demi",
    "Bookman-DemiItalic",
    "Bookman-Light",
    "Bookman-LightItalic",
    "Courier",
    "Courier-Bold",
    "Courier-BoldOblique",
    "Courier-Oblique",
    "Helvetica",
    "Helvetica-Bold",
    "Helvetica-BoldOblique",
    "Helvetica-Narrow",
    "Helvetica-Narrow-Bold",
    "Helvetica-Narrow-BoldOblique",
    "Helvetica-Narrow-Oblique",
    "Helvetica-Oblique",
    "NewCenturySchlbk-Bold",
    "NewCenturySchlbk-BoldItalic",
    "NewCenturySchlbk-Italic",
    "NewCenturySchlbk-Roman",
    "Palatino-Bold",
    "Palatino-BoldItalic",
    "Palatino-Italic",
    "Palatino-Roman",
    "Symbol",
    "Times-Bold",
    "Times-BoldItalic",
    "Times-Italic",
    "Times-Roman",
    "ZapfChancery-MediumItalic",
    "ZapfDingbats",
};

namespace internal {

constexpr bool Equal(const char* a, std::string_view b) {
    return a != nullptr && std::string_view(a) == b;
}

// Every row checked against its storage and the naming rule: rows in Id
// order, an integer range that the storage holds (narrower only with a
// reason), and front-end names built on the key.
constexpr bool TableIsConsistent() {
    for (std::size_t i = 0; i < kSettingCount; ++i) {
        const Setting& s = kSettings[i];
        if (static_cast<std::size_t>(s.id) != i)
            return false;
        const std::string_view key = s.key;
        if (!Equal(s.flag + 2, key) || std::string_view(s.flag).substr(0, 2) != "--")
            return false;
        if (!std::string_view(s.cupsOption).starts_with("klvps-") || !Equal(s.cupsOption + 6, key) ||
            !Equal(s.ippAttribute, s.cupsOption))
            return false;
        long long lowest = 0, highest = 0;
        switch (s.storage) {
        case Storage::kS16:
            lowest = kS16Min;
            highest = kS16Max;
            break;
        case Storage::kS32:
            lowest = std::numeric_limits<std::int32_t>::min();
            highest = kS32Max;
            break;
        case Storage::kColour:
            if (s.kind != Kind::kColour)
                return false;
            break;
        case Storage::kWide:
            if (s.kind != Kind::kText && s.kind != Kind::kFontName && s.kind != Kind::kWatermarkText)
                return false;
            break;
        }
        // An integer's range is the field's own unless a reason says why not.
        if (s.kind == Kind::kInteger &&
            (s.min < lowest || s.max > highest ||
             (s.min > lowest || s.max < highest) != (s.narrowedBecause != nullptr)))
            return false;
        if (s.kind != Kind::kInteger && s.narrowedBecause != nullptr)
            return false;
    }
    return true;
}

// The field each row names is the layout's field of that name.
constexpr bool FieldsMatchLayout() {
    struct Named {
        const char* name;
        DWORD offset;
        Storage storage;
        long long maxChars;
    };
    constexpr Named kLayout[] = {
        {"szWatermarkText", dm::kSzWatermarkText, Storage::kWide, dm::kWatermarkTextChars - 1},
        {"szWatermarkFont", dm::kSzWatermarkFont, Storage::kWide, dm::kWatermarkFontChars - 1},
        {"lWatermarkSize", dm::kLWatermarkSize, Storage::kS32, 0},
        {"sWatermarkAngle", dm::kSWatermarkAngle, Storage::kS16, 0},
        {"rgbWatermarkColor", dm::kRgbWatermarkColor, Storage::kColour, 0},
        {"sFullPage", dm::kSFullPage, Storage::kS16, 0},
        {"sFlip", dm::kSFlip, Storage::kS16, 0},
        {"szJobName", dm::kSzJobName, Storage::kWide, dm::kJobNameChars - 1},
        {"szJobPassword", dm::kSzJobPassword, Storage::kWide, dm::kJobPasswordChars - 1},
    };
    for (const Setting& s : kSettings) {
        bool found = false;
        for (const Named& f : kLayout) {
            if (!Equal(s.fieldName, f.name))
                continue;
            found = f.offset == s.field && f.storage == s.storage &&
                    (f.storage != Storage::kWide || f.maxChars == s.max);
        }
        if (!found)
            return false;
    }
    return true;
}

} // namespace internal

static_assert(internal::TableIsConsistent(), "a setting row disagrees with its storage or naming rule");
static_assert(internal::FieldsMatchLayout(),
              "a setting row names a field that devmode/layout.h does not have");

} // namespace klv::settings
