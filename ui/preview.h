// The page's live preview: the watermark as it will print, drawn on the
// outline of a portrait page at its angle, in its colour and at its size
// relative to the page.
#pragma once

#include "platform/win32.h"

#include <string>

namespace klv::ui {

struct PreviewValues {
    bool on = false;
    std::wstring text;
    std::wstring font;   // a PostScript font name, shown by a similar system face
    long long size = 0;  // points; values the page refuses draw no text
    long long angle = 0; // degrees, counter-clockwise
    COLORREF colour = 0;
};

void DrawPreview(HDC dc, const RECT& area, const PreviewValues& values);

} // namespace klv::ui
