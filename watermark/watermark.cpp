// The DrawWaterMark procedure, filled from the private device mode.
#include "watermark/watermark.h"

#include "devmode/layout.h"
#include "platform/trace.h"
#include "resources/resource_ids.h"
#include "strings/ansi.h"
#include "strings/bounded.h"
#include "strings/escape.h"
#include "strings/ps_name.h"
#include "strings/ps_number.h"
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

// The font name as one PostScript name, or the fallback font when no
// character of it can stand in a name.
void FontNameFromWide(char* out, DWORD capacity, const WCHAR* name, DWORD maxUnits) {
    if (PsNameFromWide(out, capacity, name, maxUnits) == 0)
        BoundedCopy(out, capacity, kFallbackFont);
}

// The watermark colour's red, green and blue bytes as three numbers from 0 to 1 with
// two decimals, separated by spaces.
void FormatColour(char* out, DWORD capacity, const BYTE* devMode) {
    out[0] = '\0';
    for (int i = 0; i < 3; ++i) {
        char number[kNumberBytes];
        FormatFixed2(number, sizeof number, dm::Byte(devMode, dm::kRgbWatermarkColor + i) * kColourScale);
        if (i != 0)
            BoundedAppend(out, capacity, " ");
        BoundedAppend(out, capacity, number);
    }
}

} // namespace

const BYTE* LoadPsResource(HMODULE module, WORD id, DWORD* outSize) {
    HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(kPostScriptResourceType));
    HGLOBAL loaded = resource != nullptr ? LoadResource(module, resource) : nullptr;
    const auto* bytes = loaded != nullptr ? static_cast<const BYTE*>(LockResource(loaded)) : nullptr;
    if (bytes == nullptr) {
        KLV_TRACE("PostScript resource %u cannot be loaded", static_cast<unsigned>(id));
        return nullptr;
    }
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

    FormatDecimal(angle, sizeof angle, dm::S16(devMode, dm::kSWatermarkAngle));
    FormatColour(colour, sizeof colour, devMode);

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
