// The DrawWaterMark procedure, filled from the private device mode.
#include "watermark/watermark.h"

#include "devmode/layout.h"
#include "resources/resource_ids.h"
#include "strings/ansi.h"
#include "strings/bounded.h"
#include "strings/escape.h"
#include "watermark/format_inserts.h"

#include <cstring>

namespace klv {

namespace {

constexpr DWORD kTextBytes = 128;  // converted watermark text, terminator included
constexpr DWORD kFontBytes = 64;   // converted font name, terminator included
constexpr DWORD kNumberBytes = 16; // colour and angle strings
// The escaped text: every byte of the converted text may double.
constexpr DWORD kEscapedTextBytes = 2 * (kTextBytes - 1) + 1;
static_assert(kEscapedTextBytes <= kEscapeWorkSize);

// Maps a colour byte 0..255 to PostScript's 0.0 to 1.0 (230 prints as
// 0.90): 1/255, written as the double every byte has always been multiplied
// by, so that no printed value changes by a rounding.
constexpr double kColourScale = 0.00392156862745098;
constexpr char kFallbackFont[] = "Helvetica";

bool IsHighSurrogate(WCHAR unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
bool IsLowSurrogate(WCHAR unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

// Bytes that end a PostScript name: white space and the delimiters.
bool EndsPsName(char c) {
    return c == '\0' || std::strchr(" \t\r\n\f()<>[]{}/%", c) != nullptr;
}

// Converts the font name character by character and keeps only those that
// can stand in a PostScript name, so that "/Font /<name> def" stays one
// name. A character of the code page that takes more than one byte is kept
// or cut whole, so a trail byte that happens to equal a delimiter is left
// alone. Returns the bytes written before the terminator.
DWORD FontNameFromWide(char* out, DWORD capacity, const WCHAR* name, DWORD maxUnits) {
    DWORD length = 0;
    for (DWORD i = 0; i < maxUnits && name[i] != 0;) {
        DWORD units = 1;
        if (IsHighSurrogate(name[i]) && i + 1 < maxUnits && IsLowSurrogate(name[i + 1]))
            units = 2;
        char bytes[16];
        const DWORD count = AnsiFromWide(bytes, sizeof bytes, name + i, units);
        i += units;
        if (count == 1 && EndsPsName(bytes[0]))
            continue;
        if (count == 0 || length + count > capacity - 1)
            break;
        std::memcpy(out + length, bytes, count);
        length += count;
    }
    out[length] = '\0';
    if (length == 0) {
        BoundedCopy(out, capacity, kFallbackFont);
        length = static_cast<DWORD>(std::strlen(out));
    }
    return length;
}

} // namespace

const BYTE* LoadPsResource(HMODULE module, WORD id, DWORD* outSize) {
    HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(kPostScriptResourceType));
    if (resource == nullptr)
        return nullptr;
    HGLOBAL loaded = LoadResource(module, resource);
    if (loaded == nullptr)
        return nullptr;
    const auto* bytes = static_cast<const BYTE*>(LockResource(loaded));
    if (bytes == nullptr)
        return nullptr;
    if (outSize != nullptr)
        *outSize = SizeofResource(module, resource);
    return bytes;
}

char* BuildWatermarkProcset(const BYTE* devMode, HMODULE module, DWORD* outLength) {
    if (devMode == nullptr || module == nullptr || outLength == nullptr)
        return nullptr;
    if (dm::S16(devMode, dm::kSWatermarkOn) == 0)
        return nullptr;

    char text[kEscapedTextBytes] = {};
    char font[kFontBytes] = {};
    char colour[kNumberBytes] = {};
    char angle[kNumberBytes] = {};

    BoundedFormat(angle, sizeof angle, "%d", static_cast<int>(dm::S16(devMode, dm::kSWatermarkAngle)));
    BoundedFormat(colour, sizeof colour, "%1.2f %1.2f %1.2f",
                  dm::Byte(devMode, dm::kRgbWatermarkColor) * kColourScale,
                  dm::Byte(devMode, dm::kRgbWatermarkColor + 1) * kColourScale,
                  dm::Byte(devMode, dm::kRgbWatermarkColor + 2) * kColourScale);

    // The wide fields are read no further than their own bytes, even when a
    // stored block lacks their terminator.
    WCHAR wide[dm::kWatermarkTextChars + 1];
    const DWORD textUnits = dm::ReadWide(devMode, dm::kSzWatermarkText, dm::kWatermarkTextChars, wide,
                                         sizeof wide / sizeof wide[0]);
    AnsiFromWide(text, kTextBytes, wide, textUnits);
    // The text stands between parentheses in the procedure: parentheses and
    // backslashes in it must not end the string or escape its closing
    // parenthesis.
    EscapePsString(text, sizeof text);

    const DWORD fontUnits = dm::ReadWide(devMode, dm::kSzWatermarkFont, dm::kWatermarkFontChars, wide,
                                         sizeof wide / sizeof wide[0]);
    FontNameFromWide(font, sizeof font, wide, fontUnits);

    return FillPsTemplate(outLength, module, text, dm::U32(devMode, dm::kLWatermarkSize), colour, angle,
                          font);
}

char* FillPsTemplate(DWORD* outLength, HMODULE module, const char* text, DWORD size, const char* colour,
                     const char* angle, const char* font) {
    if (outLength == nullptr || text == nullptr || colour == nullptr || angle == nullptr || font == nullptr)
        return nullptr;
    DWORD templateSize = 0;
    const BYTE* templateText = LoadPsResource(module, kWatermarkTemplateResource, &templateSize);
    if (templateText == nullptr)
        return nullptr;
    char* filled = nullptr;
    *outLength = FormatInsertsAlloc(reinterpret_cast<const char*>(templateText), templateSize, &filled, text,
                                    static_cast<unsigned int>(size), colour, angle, font);
    return filled;
}

} // namespace klv
