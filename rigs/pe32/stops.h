// Imports the loader binds without providing: the windowing calls of the
// user-interface plug-in (USER32, GDI32, COMDLG32) and the runtime's wide
// diagnostics. Its COM surface and device-mode code run here; its window
// does not, so each of these stops the program with its own name if it is
// ever called, rather than the image being refused at load time.
#pragma once

// X(dll constant, name) for every such import.
#define PE32_STOPPED_IMPORTS(X)                                                                              \
    X(kComdlg32, ChooseColorW)                                                                               \
    X(kGdi32, CreateFontIndirectW)                                                                           \
    X(kGdi32, CreateSolidBrush)                                                                              \
    X(kGdi32, DeleteObject)                                                                                  \
    X(kGdi32, GetStockObject)                                                                                \
    X(kGdi32, GetTextExtentPoint32W)                                                                         \
    X(kGdi32, GetTextMetricsW)                                                                               \
    X(kGdi32, IntersectClipRect)                                                                             \
    X(kGdi32, RestoreDC)                                                                                     \
    X(kGdi32, SaveDC)                                                                                        \
    X(kGdi32, SelectObject)                                                                                  \
    X(kGdi32, SetBkMode)                                                                                     \
    X(kGdi32, SetTextAlign)                                                                                  \
    X(kGdi32, SetTextColor)                                                                                  \
    X(kGdi32, TextOutW)                                                                                      \
    X(kUser32, CheckDlgButton)                                                                               \
    X(kUser32, FillRect)                                                                                     \
    X(kUser32, FrameRect)                                                                                    \
    X(kUser32, GetDlgItem)                                                                                   \
    X(kUser32, GetParent)                                                                                    \
    X(kUser32, GetSysColorBrush)                                                                             \
    X(kUser32, GetWindowLongW)                                                                               \
    X(kUser32, GetWindowTextLengthW)                                                                         \
    X(kUser32, GetWindowTextW)                                                                               \
    X(kUser32, InvalidateRect)                                                                               \
    X(kUser32, IsDlgButtonChecked)                                                                           \
    X(kUser32, LoadStringW)                                                                                  \
    X(kUser32, SendDlgItemMessageW)                                                                          \
    X(kUser32, SendMessageA)                                                                                 \
    X(kUser32, SetDlgItemTextW)                                                                              \
    X(kUser32, SetFocus)                                                                                     \
    X(kUser32, SetWindowLongW)                                                                               \
    X(kMsvcrt, fputwc)                                                                                       \
    X(kMsvcrt, fwprintf)

namespace pe32::stops {

// Prints "pe32: DLL!name was called, which the loader does not provide"
// and ends the process with status 3.
[[noreturn]] void Stop(const char* dll, const char* name);

} // namespace pe32::stops
