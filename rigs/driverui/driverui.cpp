// The driver's user interface, stood in for: loads klvpsui.dll as the
// driver does, sizes and defaults its block, collects the page it adds
// through the common property sheet callback, shows it in a real property
// sheet, and works its controls the way a person would (typing, clicking,
// the system colour picker), then presses Apply and OK and writes the block.
//
//   driverui.exe OUT.bin [KEY=VALUE]... [--in BLOCK] [--shot FILE]
//
// With --in, the page starts from BLOCK merged into the defaults, as the
// driver hands over a stored block; otherwise from the defaults.
// KEY is a setting's key (watermark, watermark-font, watermark-size,
// watermark-angle, watermark-color as R,G,B, full-page, flip, job-name,
// job-password) or watermark-on; switches take 0 or 1. The page's reasons
// for refused values are printed as "reason KEY: TEXT", and whether Apply
// took the values as "applied: yes" or "applied: no". With --shot, the
// sheet's screen rectangle is written to FILE once the values are in, and
// the program waits (at most a minute) until FILE is removed, so that a
// screenshot can be taken of the window.
#include "devmode/layout.h"
#include "platform/printoem_ui.h"
#include "ui/resource_ids.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

int gFailures = 0;

void Expect(bool condition, const char* what) {
    if (!condition) {
        std::printf("driverui: failed: %s\n", what);
        ++gFailures;
    }
}

// The driver's helper interface; the page needs none of its answers.
class DriverHelper final : public IPrintOemDriverUI {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (klv::SameGuid(riid, klv::kIidUnknown) || klv::SameGuid(riid, klv::kIidPrintOemDriverUi)) {
            *ppv = this;
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override { return --references; }
    HRESULT STDMETHODCALLTYPE DrvGetDriverSetting(PVOID, PCSTR, PVOID, DWORD, PDWORD, PDWORD) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE DrvUpgradeRegistrySetting(HANDLE, PCSTR, PCSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DrvUpdateUISetting(PVOID, PVOID, DWORD, DWORD) override { return S_OK; }

    ULONG references = 1;
};

std::vector<HPROPSHEETPAGE> gPages;

// The common property sheet's callback: a page the plug-in adds becomes a
// property sheet page, as the common property sheet makes it.
LONG_PTR CALLBACK ComPropSheet(HANDLE, UINT function, LPARAM lParam1, LPARAM) {
    if (function != CPSFUNC_ADD_PROPSHEETPAGEW)
        return 0;
    const HPROPSHEETPAGE page = CreatePropertySheetPageW(reinterpret_cast<const PROPSHEETPAGEW*>(lParam1));
    if (page != nullptr)
        gPages.push_back(page);
    return reinterpret_cast<LONG_PTR>(page);
}

void Pump() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

void PumpFor(DWORD milliseconds) {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < milliseconds) {
        Pump();
        Sleep(10);
    }
}

struct Control {
    const char* key;
    int id;
    bool isSwitch;
};

constexpr Control kControls[] = {
    {"watermark-on", KLVUI_WATERMARK_ON, true},
    {"watermark", KLVUI_TEXT, false},
    {"watermark-font", KLVUI_FONT, false},
    {"watermark-size", KLVUI_SIZE, false},
    {"watermark-angle", KLVUI_ANGLE, false},
    {"full-page", KLVUI_FULL_PAGE, true},
    {"flip", KLVUI_FLIP, true},
    {"job-name", KLVUI_JOB_NAME, false},
    {"job-password", KLVUI_PASSWORD, false},
};

std::wstring Widen(const std::string& text) {
    std::wstring wide(text.size() + 1, L'\0');
    const int n =
        MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, wide.data(), static_cast<int>(wide.size()));
    wide.resize(n > 0 ? static_cast<std::size_t>(n - 1) : 0);
    return wide;
}

// Types text into an edit control (or a combo box's edit part) as a
// keyboard would: everything selected, then one character at a time.
void Type(HWND control, const std::wstring& text) {
    wchar_t className[32] = {};
    GetClassNameW(control, className, 32);
    HWND edit = control;
    if (lstrcmpiW(className, L"ComboBox") == 0)
        edit = GetWindow(control, GW_CHILD);
    SetFocus(edit);
    SendMessageW(edit, EM_SETSEL, 0, -1);
    SendMessageW(edit, WM_CHAR, VK_BACK, 0);
    for (wchar_t c : text)
        SendMessageW(edit, WM_CHAR, c, 0);
}

struct PickerScript {
    int red, green, blue;
    bool done = false;
};

// Runs beside the page's thread, which sits in the picker's own message
// loop: finds the picker, sets its red, green and blue fields and presses
// its OK.
DWORD WINAPI WorkPicker(LPVOID parameter) {
    auto* script = static_cast<PickerScript*>(parameter);
    HWND picker = nullptr;
    for (int tries = 0; picker == nullptr && tries < 500; ++tries) {
        Sleep(20);
        HWND candidate = nullptr;
        while ((candidate = FindWindowExW(nullptr, candidate, L"#32770", nullptr)) != nullptr)
            if (GetDlgItem(candidate, 706) != nullptr && IsWindowVisible(candidate))
                picker = candidate;
    }
    if (picker == nullptr)
        return 0;
    // COLOR_RED, COLOR_GREEN, COLOR_BLUE of the picker's template.
    SetDlgItemInt(picker, 706, static_cast<UINT>(script->red), FALSE);
    SetDlgItemInt(picker, 707, static_cast<UINT>(script->green), FALSE);
    SetDlgItemInt(picker, 708, static_cast<UINT>(script->blue), FALSE);
    Sleep(100);
    SendMessageW(GetDlgItem(picker, IDOK), BM_CLICK, 0, 0);
    script->done = true;
    return 0;
}

// Opens the system colour picker through the page's button and works it
// from a second thread.
bool PickColour(HWND page, int red, int green, int blue) {
    PickerScript script{red, green, blue};
    const HANDLE thread = CreateThread(nullptr, 0, WorkPicker, &script, 0, nullptr);
    if (thread == nullptr)
        return false;
    SendMessageW(GetDlgItem(page, KLVUI_COLOUR), BM_CLICK, 0, 0);
    WaitForSingleObject(thread, 15000);
    CloseHandle(thread);
    PumpFor(100);
    return script.done;
}

bool SetValue(HWND page, const std::string& key, const std::string& value) {
    if (key == "watermark-color") {
        int red = 0, green = 0, blue = 0;
        if (std::sscanf(value.c_str(), "%d,%d,%d", &red, &green, &blue) != 3)
            return false;
        return PickColour(page, red, green, blue);
    }
    for (const Control& c : kControls) {
        if (key != c.key)
            continue;
        const HWND control = GetDlgItem(page, c.id);
        if (c.isSwitch) {
            const bool wanted = value == "1";
            if ((IsDlgButtonChecked(page, c.id) == BST_CHECKED) != wanted)
                SendMessageW(control, BM_CLICK, 0, 0);
        } else {
            Type(control, Widen(value));
        }
        Pump();
        return true;
    }
    return false;
}

// The page's tab order: every field once, top to bottom, as the keyboard
// reaches them.
bool TabOrderIsTheFields(HWND page) {
    constexpr int kOrder[] = {KLVUI_WATERMARK_ON, KLVUI_TEXT,    KLVUI_FONT,      KLVUI_SIZE,
                              KLVUI_ANGLE,        KLVUI_COLOUR,  KLVUI_FULL_PAGE, KLVUI_FLIP,
                              KLVUI_JOB_NAME,     KLVUI_PASSWORD};
    HWND at = GetNextDlgTabItem(page, nullptr, FALSE);
    for (int id : kOrder) {
        HWND expected = GetDlgItem(page, id);
        // A combo box's edit part takes the focus for it.
        if (at != expected && GetParent(at) != expected) {
            std::printf("driverui: tab stop %d is not control %d\n", GetDlgCtrlID(at), id);
            return false;
        }
        at = GetNextDlgTabItem(page, at, FALSE);
    }
    return at == GetNextDlgTabItem(page, nullptr, FALSE);
}

void PrintReasons(HWND page) {
    constexpr std::pair<const char*, int> kReasons[] = {
        {"watermark", KLVUI_TEXT_REASON},      {"watermark-font", KLVUI_FONT_REASON},
        {"watermark-size", KLVUI_SIZE_REASON}, {"watermark-angle", KLVUI_ANGLE_REASON},
        {"job-name", KLVUI_JOB_NAME_REASON},   {"job-password", KLVUI_PASSWORD_REASON},
    };
    for (const auto& [key, id] : kReasons) {
        wchar_t text[512] = {};
        GetDlgItemTextW(page, id, text, 512);
        if (text[0] == 0)
            continue;
        char utf8[1024] = {};
        WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof utf8, nullptr, nullptr);
        std::printf("reason %s: %s\n", key, utf8);
    }
}

void HoldForScreenshot(HWND sheet, const std::string& file) {
    // The client area: without a window manager the frame is not drawn.
    RECT r = {};
    GetClientRect(sheet, &r);
    MapWindowPoints(sheet, nullptr, reinterpret_cast<POINT*>(&r), 2);
    if (FILE* out = std::fopen(file.c_str(), "w")) {
        std::fprintf(out, "%ld %ld %ld %ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
        std::fclose(out);
    }
    const DWORD start = GetTickCount();
    while (GetFileAttributesA(file.c_str()) != INVALID_FILE_ATTRIBUTES && GetTickCount() - start < 60000) {
        Pump();
        Sleep(50);
    }
}

using GetClassObjectFunction = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
using CanUnloadFunction = HRESULT(WINAPI*)();

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: driverui.exe OUT.bin [KEY=VALUE]... [--in BLOCK] [--shot FILE]\n");
        return 2;
    }
    const std::string out = argv[1];
    std::vector<std::pair<std::string, std::string>> values;
    std::string shot;
    std::string in;
    for (int i = 2; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--shot" && i + 1 < argc) {
            shot = argv[++i];
            continue;
        }
        if (argument == "--in" && i + 1 < argc) {
            in = argv[++i];
            continue;
        }
        const std::size_t equals = argument.find('=');
        if (equals == std::string::npos) {
            std::fprintf(stderr, "driverui: not KEY=VALUE: %s\n", argument.c_str());
            return 2;
        }
        values.emplace_back(argument.substr(0, equals), argument.substr(equals + 1));
    }

    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);

    const HMODULE module = LoadLibraryW(L"klvpsui.dll");
    if (module == nullptr) {
        std::printf("driverui: failed: klvpsui.dll does not load (%lu)\n", GetLastError());
        return 1;
    }
    const auto getClassObject = reinterpret_cast<GetClassObjectFunction>(
        reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject")));
    const auto canUnload = reinterpret_cast<CanUnloadFunction>(
        reinterpret_cast<void*>(GetProcAddress(module, "DllCanUnloadNow")));
    if (getClassObject == nullptr || canUnload == nullptr) {
        std::printf("driverui: failed: the entry points are missing\n");
        return 1;
    }

    IClassFactory* factory = nullptr;
    Expect(SUCCEEDED(
               getClassObject(klv::kClsidOemUi, klv::kIidClassFactory, reinterpret_cast<void**>(&factory))),
           "DllGetClassObject gives the class object");
    if (factory == nullptr)
        return 1;
    IPrintOemUI* plugin = nullptr;
    Expect(
        SUCCEEDED(factory->CreateInstance(nullptr, klv::kIidPrintOemUi, reinterpret_cast<void**>(&plugin))),
        "CreateInstance gives IPrintOemUI");
    factory->Release();
    if (plugin == nullptr)
        return 1;

    DriverHelper helper;
    Expect(plugin->PublishDriverInterface(&helper) == S_OK, "PublishDriverInterface takes the helper");

    OEMDMPARAM dmParam = {};
    dmParam.cbSize = sizeof(dmParam);
    Expect(plugin->DevMode(OEMDM_SIZE, &dmParam) == S_OK && dmParam.cbBufSize == klv::dm::kSize,
           "DevMode sizes the block");
    std::vector<BYTE> block(dmParam.cbBufSize);
    dmParam.pOEMDMOut = block.data();
    Expect(plugin->DevMode(OEMDM_DEFAULT, &dmParam) == S_OK, "DevMode writes the defaults");
    if (!in.empty()) {
        std::ifstream stored(in, std::ios::binary);
        std::vector<BYTE> input((std::istreambuf_iterator<char>(stored)), std::istreambuf_iterator<char>());
        Expect(input.size() == block.size(), "the stored block is read");
        input.resize(block.size());
        dmParam.pOEMDMIn = input.data();
        Expect(plugin->DevMode(OEMDM_MERGE, &dmParam) == S_OK, "DevMode merges the stored block");
    }

    OEMUIPSPARAM uiParam = {};
    uiParam.cbSize = sizeof(uiParam);
    uiParam.hModule = module;
    uiParam.pOEMDM = block.data();
    PROPSHEETUI_INFO info = {};
    info.cbSize = sizeof(info);
    info.Version = PROPSHEETUI_INFO_VERSION;
    info.Reason = PROPSHEETUI_REASON_INIT;
    info.pfnComPropSheet = ComPropSheet;
    info.lParamInit = reinterpret_cast<LPARAM>(&uiParam);
    Expect(plugin->DocumentPropertySheets(&info, 0) == S_OK && gPages.size() == 1,
           "DocumentPropertySheets adds one page");
    if (gPages.empty())
        return 1;

    PROPSHEETHEADERW header = {};
    header.dwSize = sizeof(header);
    header.dwFlags = PSH_MODELESS | PSH_NOCONTEXTHELP;
    header.pszCaption = L"klvps Printing Preferences";
    header.nPages = static_cast<UINT>(gPages.size());
    header.phpage = gPages.data();
    const HWND sheet = reinterpret_cast<HWND>(PropertySheetW(&header));
    Expect(sheet != nullptr, "the property sheet opens");
    if (sheet == nullptr)
        return 1;
    PumpFor(200);
    const HWND page = PropSheet_GetCurrentPageHwnd(sheet);
    Expect(TabOrderIsTheFields(page), "the tab order is the fields' order");

    for (const auto& [key, value] : values)
        if (!SetValue(page, key, value))
            std::printf("driverui: failed: cannot set %s=%s\n", key.c_str(), value.c_str()), ++gFailures;
    PumpFor(200);
    if (!shot.empty())
        HoldForScreenshot(sheet, shot);

    PropSheet_PressButton(sheet, PSBTN_APPLYNOW);
    PumpFor(200);
    PrintReasons(page);
    Expect(canUnload() == S_FALSE, "the module stays loaded while its page exists");

    PropSheet_PressButton(sheet, PSBTN_OK);
    PumpFor(200);
    const bool closed = PropSheet_GetCurrentPageHwnd(sheet) == nullptr;
    std::printf("applied: %s\n", closed ? "yes" : "no");
    if (!closed)
        PropSheet_PressButton(sheet, PSBTN_CANCEL);
    PumpFor(100);
    DestroyWindow(sheet);
    Pump();

    SETRESULT_INFO result = {sizeof(result), 0, nullptr, closed ? CPSUI_OK : CPSUI_CANCEL};
    info.Reason = PROPSHEETUI_REASON_SET_RESULT;
    Expect(plugin->DocumentPropertySheets(&info, reinterpret_cast<LPARAM>(&result)) == S_OK,
           "DocumentPropertySheets takes the result");
    info.Reason = PROPSHEETUI_REASON_DESTROY;
    Expect(plugin->DocumentPropertySheets(&info, 0) == S_OK, "DocumentPropertySheets is destroyed");
    plugin->Release();
    Expect(helper.references == 1, "the plug-in releases the driver's helper");
    Expect(canUnload() == S_OK, "the module may unload once the page and the object are gone");

    std::ofstream file(out, std::ios::binary);
    file.write(reinterpret_cast<const char*>(block.data()), static_cast<std::streamsize>(block.size()));
    Expect(file.good(), "the block is written");
    std::printf("driverui: %d failed\n", gFailures);
    return gFailures == 0 ? 0 : 1;
}
