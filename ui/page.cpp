#include "ui/page.h"

#include "devmode/layout.h"
#include "libraries/settings/settings.h"
#include "libraries/support/utf.h"
#include "module/counters.h"
#include "ui/preview.h"
#include "ui/resource_ids.h"

#include <commdlg.h>

#include <array>
#include <cstring>
#include <new>
#include <string>

namespace klv::ui {

namespace {

using settings::Id;
using settings::Refusal;
using settings::Setting;
using settings::SettingOf;

// What each setting's field is on the page: its control, the label in
// front of it and the line that gives the reason a value is refused. The
// switches and the colour have no text to refuse.
struct Field {
    Id id;
    int control;
    int label;     // 0: the control carries its own text
    int labelText; // string table entry
    int reason;    // 0: every value the control can hold is accepted
    int unit;      // 0: no unit after the field
};

constexpr Field kFields[] = {
    {Id::kWatermark, KLVUI_TEXT, KLVUI_TEXT_LABEL, KLVUI_STR_TEXT, KLVUI_TEXT_REASON, 0},
    {Id::kWatermarkFont, KLVUI_FONT, KLVUI_FONT_LABEL, KLVUI_STR_FONT, KLVUI_FONT_REASON, 0},
    {Id::kWatermarkSize, KLVUI_SIZE, KLVUI_SIZE_LABEL, KLVUI_STR_SIZE, KLVUI_SIZE_REASON, KLVUI_SIZE_UNIT},
    {Id::kWatermarkAngle, KLVUI_ANGLE, KLVUI_ANGLE_LABEL, KLVUI_STR_ANGLE, KLVUI_ANGLE_REASON,
     KLVUI_ANGLE_UNIT},
    {Id::kWatermarkColor, KLVUI_COLOUR, 0, KLVUI_STR_COLOUR, 0, 0},
    {Id::kFullPage, KLVUI_FULL_PAGE, 0, KLVUI_STR_FULL_PAGE, 0, 0},
    {Id::kFlip, KLVUI_FLIP, 0, KLVUI_STR_FLIP, 0, 0},
    {Id::kJobName, KLVUI_JOB_NAME, KLVUI_JOB_NAME_LABEL, KLVUI_STR_JOB_NAME, KLVUI_JOB_NAME_REASON, 0},
    {Id::kJobPassword, KLVUI_PASSWORD, KLVUI_PASSWORD_LABEL, KLVUI_STR_PASSWORD, KLVUI_PASSWORD_REASON, 0},
};
static_assert(std::size(kFields) == settings::kSettingCount);

constexpr bool FieldsInSettingsOrder() {
    for (std::size_t i = 0; i < std::size(kFields); ++i)
        if (static_cast<std::size_t>(kFields[i].id) != i)
            return false;
    return true;
}
static_assert(FieldsInSettingsOrder());

// Texts of the page that belong to no setting.
constexpr std::array<std::pair<int, int>, 4> kFixedTexts = {{
    {KLVUI_WATERMARK_GROUP, KLVUI_STR_WATERMARK_GROUP},
    {KLVUI_WATERMARK_ON, KLVUI_STR_WATERMARK_ON},
    {KLVUI_JOB_GROUP, KLVUI_STR_JOB_GROUP},
    {KLVUI_PREVIEW_GROUP, KLVUI_STR_PREVIEW_GROUP},
}};

struct PageState {
    BYTE* block = nullptr;   // the driver's block, written on Apply only
    settings::Colour colour; // the colour chosen, shown by the swatch
    COLORREF customColours[16] = {};
    bool filling = false; // the controls are being filled: no change to report
};

std::wstring Text(HWND dialog, int control) {
    const HWND window = GetDlgItem(dialog, control);
    const int length = GetWindowTextLengthW(window);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(window, text.data(), length + 1)));
    return text;
}

std::u16string Wide(const std::wstring& text) {
    return std::u16string(text.begin(), text.end());
}

std::wstring FromUtf8(const std::string& text) {
    const std::u16string wide = support::Utf8ToUtf16(text);
    return std::wstring(wide.begin(), wide.end());
}

std::wstring LoadText(int id) {
    const wchar_t* text = nullptr;
    const int length = LoadStringW(ThisModule(), static_cast<UINT>(id), reinterpret_cast<LPWSTR>(&text), 0);
    return length > 0 ? std::wstring(text, static_cast<std::size_t>(length)) : std::wstring();
}

std::wstring FieldText(const BYTE* block, const Setting& s) {
    WCHAR buffer[dm::kWatermarkTextChars + 1];
    const DWORD n = dm::ReadWide(block, s.field, static_cast<DWORD>(s.max + 1), buffer, std::size(buffer));
    return std::wstring(buffer, buffer + n);
}

bool Checked(HWND dialog, int control) {
    return IsDlgButtonChecked(dialog, control) == BST_CHECKED;
}

// The value a field's control holds, in the setter's terms; a refusal when
// the text is not even of the setting's kind (a size that is not a number).
Refusal ValueOf(HWND dialog, const PageState& state, const Field& f, settings::Value* value) {
    switch (f.id) {
    case Id::kWatermark:
        *value = settings::WatermarkValue{Checked(dialog, KLVUI_WATERMARK_ON), Wide(Text(dialog, f.control))};
        return {};
    case Id::kWatermarkSize:
    case Id::kWatermarkAngle: {
        const std::u16string text = Wide(Text(dialog, f.control));
        return settings::Parse(f.id, support::Utf16ToUtf8(text), value);
    }
    case Id::kWatermarkColor:
        *value = state.colour;
        return {};
    case Id::kFullPage:
    case Id::kFlip:
        *value = Checked(dialog, f.control);
        return {};
    case Id::kWatermarkFont:
    case Id::kJobName:
    case Id::kJobPassword:
        *value = Wide(Text(dialog, f.control));
        return {};
    }
    return {};
}

// Sets one field's value into block (dm::kSize bytes); the refusal, if any.
Refusal SetField(HWND dialog, const PageState& state, const Field& f, BYTE* block) {
    settings::Value value;
    if (const Refusal r = ValueOf(dialog, state, f, &value))
        return r;
    return settings::Set(block, f.id, value);
}

void ShowReason(HWND dialog, const Field& f, const Refusal& refusal) {
    if (f.reason != 0)
        SetDlgItemTextW(dialog, f.reason, refusal ? FromUtf8(settings::Describe(refusal)).c_str() : L"");
}

// Checks one field against a scratch copy of the block and shows why it is
// refused, or clears the reason. True when it is accepted.
bool CheckField(HWND dialog, const PageState& state, const Field& f) {
    std::array<BYTE, dm::kSize> scratch;
    std::memcpy(scratch.data(), state.block, dm::kSize);
    const Refusal refusal = SetField(dialog, state, f, scratch.data());
    ShowReason(dialog, f, refusal);
    return !refusal;
}

// Apply: every field into a copy of the block, which replaces the block only
// when none is refused. The first refused field takes the focus.
bool ApplyAll(HWND dialog, PageState& state) {
    std::array<BYTE, dm::kSize> candidate;
    std::memcpy(candidate.data(), state.block, dm::kSize);
    HWND firstRefused = nullptr;
    for (const Field& f : kFields) {
        const Refusal refusal = SetField(dialog, state, f, candidate.data());
        ShowReason(dialog, f, refusal);
        if (refusal && firstRefused == nullptr)
            firstRefused = GetDlgItem(dialog, f.control);
    }
    if (firstRefused != nullptr) {
        SetFocus(firstRefused);
        return false;
    }
    std::memcpy(state.block, candidate.data(), dm::kSize);
    return true;
}

PreviewValues CurrentPreview(HWND dialog, const PageState& state) {
    PreviewValues preview;
    preview.on = Checked(dialog, KLVUI_WATERMARK_ON);
    preview.text = Text(dialog, KLVUI_TEXT);
    preview.font = Text(dialog, KLVUI_FONT);
    settings::Value value;
    if (!settings::Parse(Id::kWatermarkSize, support::Utf16ToUtf8(Wide(Text(dialog, KLVUI_SIZE))), &value))
        preview.size = std::get<long long>(value);
    if (!settings::Parse(Id::kWatermarkAngle, support::Utf16ToUtf8(Wide(Text(dialog, KLVUI_ANGLE))), &value))
        preview.angle = std::get<long long>(value);
    preview.colour = RGB(state.colour.red, state.colour.green, state.colour.blue);
    return preview;
}

void FillControls(HWND dialog, PageState& state) {
    state.filling = true;
    const BYTE* block = state.block;
    for (const Field& f : kFields) {
        const std::wstring label = LoadText(f.labelText);
        SetDlgItemTextW(dialog, f.label != 0 ? f.label : f.control, label.c_str());
        const Setting& s = SettingOf(f.id);
        if (f.unit != 0)
            SetDlgItemTextW(dialog, f.unit, FromUtf8(s.unit).c_str());
        if (s.storage == settings::Storage::kWide)
            SendDlgItemMessageW(dialog, f.control, f.id == Id::kWatermarkFont ? CB_LIMITTEXT : EM_LIMITTEXT,
                                static_cast<WPARAM>(s.max), 0);
    }
    for (const auto& [control, text] : kFixedTexts)
        SetDlgItemTextW(dialog, control, LoadText(text).c_str());

    for (const char* font : settings::kStandardFonts)
        SendDlgItemMessageW(dialog, KLVUI_FONT, CB_ADDSTRING, 0,
                            reinterpret_cast<LPARAM>(FromUtf8(font).c_str()));

    CheckDlgButton(dialog, KLVUI_WATERMARK_ON,
                   dm::S16(block, dm::kSWatermarkOn) != 0 ? BST_CHECKED : BST_UNCHECKED);
    SetDlgItemTextW(dialog, KLVUI_TEXT, FieldText(block, SettingOf(Id::kWatermark)).c_str());
    SetDlgItemTextW(dialog, KLVUI_FONT, FieldText(block, SettingOf(Id::kWatermarkFont)).c_str());
    SetDlgItemTextW(dialog, KLVUI_SIZE,
                    std::to_wstring(static_cast<std::int32_t>(dm::U32(block, dm::kLWatermarkSize))).c_str());
    SetDlgItemTextW(dialog, KLVUI_ANGLE, std::to_wstring(dm::S16(block, dm::kSWatermarkAngle)).c_str());
    state.colour = {dm::Byte(block, dm::kRgbWatermarkColor), dm::Byte(block, dm::kRgbWatermarkColor + 1),
                    dm::Byte(block, dm::kRgbWatermarkColor + 2)};
    // The switches read as the render plug-in reads them (full page from 1
    // up, flip for anything but 0), so that a block written by another
    // program keeps its meaning through Apply.
    CheckDlgButton(dialog, KLVUI_FULL_PAGE,
                   dm::S16(block, dm::kSFullPage) >= 1 ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(dialog, KLVUI_FLIP, dm::S16(block, dm::kSFlip) != 0 ? BST_CHECKED : BST_UNCHECKED);
    SetDlgItemTextW(dialog, KLVUI_JOB_NAME, FieldText(block, SettingOf(Id::kJobName)).c_str());
    SetDlgItemTextW(dialog, KLVUI_PASSWORD, FieldText(block, SettingOf(Id::kJobPassword)).c_str());
    // A block may already hold a value the page would refuse (one written by
    // another program): say so now rather than at Apply.
    for (const Field& f : kFields)
        CheckField(dialog, state, f);
    state.filling = false;
}

const Field* FieldOfControl(int control) {
    for (const Field& f : kFields)
        if (f.control == control)
            return &f;
    return nullptr;
}

void Changed(HWND dialog, PageState& state, int control) {
    if (state.filling)
        return;
    if (const Field* f = FieldOfControl(control))
        CheckField(dialog, state, *f);
    if (control == KLVUI_WATERMARK_ON)
        CheckField(dialog, state, kFields[0]);
    InvalidateRect(GetDlgItem(dialog, KLVUI_PREVIEW), nullptr, FALSE);
    InvalidateRect(GetDlgItem(dialog, KLVUI_COLOUR_SWATCH), nullptr, FALSE);
    PropSheet_Changed(GetParent(dialog), dialog);
}

void ChooseColour(HWND dialog, PageState& state) {
    CHOOSECOLORW choose = {};
    choose.lStructSize = sizeof(choose);
    choose.hwndOwner = dialog;
    choose.rgbResult = RGB(state.colour.red, state.colour.green, state.colour.blue);
    choose.lpCustColors = state.customColours;
    choose.Flags = CC_RGBINIT | CC_FULLOPEN;
    if (!ChooseColorW(&choose))
        return;
    state.colour = {GetRValue(choose.rgbResult), GetGValue(choose.rgbResult), GetBValue(choose.rgbResult)};
    Changed(dialog, state, KLVUI_COLOUR);
}

void DrawSwatch(const DRAWITEMSTRUCT& item, const PageState& state) {
    const HBRUSH brush = CreateSolidBrush(RGB(state.colour.red, state.colour.green, state.colour.blue));
    FillRect(item.hDC, &item.rcItem, brush);
    DeleteObject(brush);
    FrameRect(item.hDC, &item.rcItem, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
}

PageState* StateOf(HWND dialog) {
    return reinterpret_cast<PageState*>(GetWindowLongPtrW(dialog, DWLP_USER));
}

void Answer(HWND dialog, LONG_PTR result) {
    SetWindowLongPtrW(dialog, DWLP_MSGRESULT, result);
}

INT_PTR CALLBACK PageProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        const auto* page = reinterpret_cast<const PROPSHEETPAGEW*>(lParam);
        auto* state = reinterpret_cast<PageState*>(page->lParam);
        SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(state));
        FillControls(dialog, *state);
        return TRUE;
    }
    PageState* state = StateOf(dialog);
    if (state == nullptr)
        return FALSE;
    switch (message) {
    case WM_COMMAND: {
        const int control = LOWORD(wParam);
        const int code = HIWORD(wParam);
        if (control == KLVUI_COLOUR && code == BN_CLICKED) {
            ChooseColour(dialog, *state);
            return TRUE;
        }
        if (code == EN_CHANGE || code == CBN_EDITCHANGE || code == BN_CLICKED) {
            Changed(dialog, *state, control);
            return TRUE;
        }
        if (code == CBN_SELCHANGE) {
            // The edit part takes the chosen name only after this message.
            const LRESULT index = SendDlgItemMessageW(dialog, control, CB_GETCURSEL, 0, 0);
            const LRESULT length = SendDlgItemMessageW(dialog, control, CB_GETLBTEXTLEN, index, 0);
            if (index != CB_ERR && length != CB_ERR) {
                std::wstring name(static_cast<std::size_t>(length) + 1, L'\0');
                SendDlgItemMessageW(dialog, control, CB_GETLBTEXT, index,
                                    reinterpret_cast<LPARAM>(name.data()));
                SetDlgItemTextW(dialog, control, name.c_str());
            }
            Changed(dialog, *state, control);
            return TRUE;
        }
        return FALSE;
    }
    case WM_DRAWITEM: {
        const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (item.CtlID == KLVUI_COLOUR_SWATCH)
            DrawSwatch(item, *state);
        else if (item.CtlID == KLVUI_PREVIEW)
            DrawPreview(item.hDC, item.rcItem, CurrentPreview(dialog, *state));
        else
            return FALSE;
        return TRUE;
    }
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        switch (header->code) {
        case PSN_KILLACTIVE: {
            bool accepted = true;
            for (const Field& f : kFields)
                accepted = CheckField(dialog, *state, f) && accepted;
            Answer(dialog, accepted ? FALSE : TRUE);
            return TRUE;
        }
        case PSN_APPLY:
            Answer(dialog, ApplyAll(dialog, *state) ? PSNRET_NOERROR : PSNRET_INVALID_NOCHANGEPAGE);
            return TRUE;
        default:
            return FALSE;
        }
    }
    default:
        return FALSE;
    }
}

UINT CALLBACK PageCallback(HWND, UINT message, PROPSHEETPAGEW* page) {
    if (message == PSPCB_RELEASE)
        DiscardPage(*page);
    return 1;
}

} // namespace

bool PreparePage(PROPSHEETPAGEW& page, BYTE* block) {
    auto* state = new (std::nothrow) PageState();
    if (state == nullptr)
        return false;
    state->block = block;
    // A page that exists keeps the module loaded: its dialog procedure is
    // the module's code.
    InterlockedIncrement(&gObjectCount);
    page = {};
    page.dwSize = sizeof(page);
    page.dwFlags = PSP_USECALLBACK | PSP_USETITLE;
    page.hInstance = ThisModule();
    page.pszTemplate = MAKEINTRESOURCEW(KLVUI_PAGE_DIALOG);
    page.pszTitle = MAKEINTRESOURCEW(KLVUI_STR_PAGE_TITLE);
    page.pfnDlgProc = PageProc;
    page.pfnCallback = PageCallback;
    page.lParam = reinterpret_cast<LPARAM>(state);
    return true;
}

void DiscardPage(PROPSHEETPAGEW& page) {
    auto* state = reinterpret_cast<PageState*>(page.lParam);
    if (state == nullptr)
        return;
    page.lParam = 0;
    delete state;
    InterlockedDecrement(&gObjectCount);
}

} // namespace klv::ui
