// Conformance tests of the built klvpsui.dll, run on Windows or under Wine:
// the module is loaded by name and driven only through what it exports, as
// the driver's user interface does, beside klvps.dll, whose DevMode it must
// answer byte for byte. Prints one line per failure and a closing count.
#include "devmode/layout.h"
#include "libraries/settings/settings_table.h"
#include "module/tests/conformance.h"
#include "module/tests/dll_conformance_checks.h"
#include "platform/printoem_ui.h"
#include "ui/resource_ids.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

namespace dm = klv::dm;

using GetClassObjectFn = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
using CanUnloadNowFn = HRESULT(WINAPI*)();

template <typename Function> Function Export(HMODULE module, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

template <typename Interface>
Interface* Create(GetClassObjectFn getClassObject, const CLSID& clsid, const IID& iid) {
    IClassFactory* factory = nullptr;
    if (FAILED(getClassObject(clsid, klv::kIidClassFactory, reinterpret_cast<void**>(&factory))))
        return nullptr;
    void* created = nullptr;
    factory->CreateInstance(nullptr, iid, &created);
    factory->Release();
    return static_cast<Interface*>(created);
}

// A block with every field off its default, a foreign-looking selection,
// and a text without its terminator: what the driver may hand either
// plug-in to convert or merge.
std::vector<BYTE> UnusualBlock(DWORD signature) {
    std::vector<BYTE> block(dm::kSize);
    for (DWORD i = 0; i < dm::kSize; ++i)
        block[i] = static_cast<BYTE>(i * 7 + 3);
    dm::PutU32(block.data(), dm::kDwSize, dm::kSize);
    dm::PutU32(block.data(), dm::kDwSignature, signature);
    dm::PutU32(block.data(), dm::kDwVersion, 1);
    dm::PutS16(block.data(), dm::kSSelection, 9);
    return block;
}

// DevMode through both plug-ins from the same input: the same bytes out.
void TestDevModeMatchesRenderer(IPrintOemUI* ui, IPrintOemPS* render) {
    OEMDMPARAM uiParam = {};
    OEMDMPARAM renderParam = {};
    uiParam.cbSize = renderParam.cbSize = sizeof(OEMDMPARAM);
    ok(ui->DevMode(OEMDM_SIZE, &uiParam) == S_OK && uiParam.cbBufSize == dm::kSize, "size %lu",
       static_cast<unsigned long>(uiParam.cbBufSize));

    struct Case {
        const char* name;
        DWORD mode;
        DWORD signature;
    };
    const Case cases[] = {
        {"defaults", OEMDM_DEFAULT, dm::kSignature},
        {"convert, own signature", OEMDM_CONVERT, dm::kSignature},
        {"convert, foreign signature", OEMDM_CONVERT, 0x12345678},
        {"merge, own signature", OEMDM_MERGE, dm::kSignature},
        {"merge, foreign signature", OEMDM_MERGE, 0x12345678},
    };
    for (const Case& c : cases) {
        std::vector<BYTE> in = UnusualBlock(c.signature);
        std::vector<BYTE> uiOut(dm::kSize, 0xEE);
        std::vector<BYTE> renderOut(dm::kSize, 0xEE);
        if (c.mode != OEMDM_DEFAULT) {
            // Both start from defaults, as the driver's output block does.
            OEMDMPARAM d = {};
            d.cbSize = sizeof(d);
            d.pOEMDMOut = uiOut.data();
            render->DevMode(OEMDM_DEFAULT, &d);
            d.pOEMDMOut = renderOut.data();
            render->DevMode(OEMDM_DEFAULT, &d);
        }
        uiParam.pOEMDMIn = renderParam.pOEMDMIn = in.data();
        uiParam.pOEMDMOut = uiOut.data();
        renderParam.pOEMDMOut = renderOut.data();
        uiParam.cbBufSize = renderParam.cbBufSize = dm::kSize;
        const HRESULT uiResult = ui->DevMode(c.mode, &uiParam);
        const HRESULT renderResult = render->DevMode(c.mode, &renderParam);
        ok(uiResult == renderResult && uiResult == S_OK, "%s: results %08lx and %08lx", c.name,
           static_cast<unsigned long>(uiResult), static_cast<unsigned long>(renderResult));
        ok(uiOut == renderOut, "%s: the blocks differ", c.name);
    }
}

void TestGetInfoPairs(IPrintOemUI* ui, IPrintOemPS* render) {
    for (DWORD mode : {OEMGI_GETSIGNATURE, OEMGI_GETVERSION}) {
        DWORD uiValue = 0, renderValue = 1, needed = 0;
        ok(ui->GetInfo(mode, &uiValue, 4, &needed) == S_OK && needed == 4, "GetInfo(%lu)",
           static_cast<unsigned long>(mode));
        render->GetInfo(mode, &renderValue, 4, &needed);
        ok(uiValue == renderValue, "GetInfo(%lu): %08lx, the renderer %08lx",
           static_cast<unsigned long>(mode), static_cast<unsigned long>(uiValue),
           static_cast<unsigned long>(renderValue));
    }
    DWORD value = 0, needed = 0;
    SetLastError(0);
    ok(ui->GetInfo(OEMGI_GETSIGNATURE, &value, 3, &needed) == E_FAIL &&
           GetLastError() == ERROR_INSUFFICIENT_BUFFER,
       "short buffer");
}

// What the plug-in does not provide answers E_NOTIMPL, so that the driver
// does its own.
void TestNotProvided(IPrintOemUI* ui) {
    DWORD result = 0;
    PROPSHEETUI_INFO info = {};
    info.cbSize = sizeof(info);
    OEMCUIPPARAM common = {};
    common.cbSize = sizeof(common);
    struct Case {
        const char* method;
        HRESULT result;
    };
    const Case cases[] = {
        {"CommonUIProp", ui->CommonUIProp(1, &common)},
        {"DevicePropertySheets", ui->DevicePropertySheets(&info, 0)},
        {"DevQueryPrintEx", ui->DevQueryPrintEx(nullptr, nullptr, nullptr, nullptr)},
        {"DeviceCapabilities",
         ui->DeviceCapabilities(nullptr, nullptr, nullptr, 1, nullptr, nullptr, nullptr, 0, &result)},
        {"UpgradePrinter", ui->UpgradePrinter(1, nullptr)},
        {"PrinterEvent", ui->PrinterEvent(nullptr, 1, 0, 0)},
        {"DriverEvent", ui->DriverEvent(1, 1, nullptr, 0)},
        {"QueryColorProfile",
         ui->QueryColorProfile(nullptr, nullptr, nullptr, nullptr, 0, nullptr, nullptr, nullptr)},
        {"FontInstallerDlgProc", ui->FontInstallerDlgProc(nullptr, 0, 0, 0)},
        {"UpdateExternalFonts", ui->UpdateExternalFonts(nullptr, nullptr, nullptr)},
    };
    for (const Case& c : cases)
        ok(c.result == E_NOTIMPL, "%s answers %08lx", c.method, static_cast<unsigned long>(c.result));
}

// A sheet whose callback refuses the page: nothing added, nothing held.
LONG_PTR CALLBACK RefusingSheet(HANDLE, UINT, LPARAM, LPARAM) {
    return 0;
}

void TestDocumentPropertySheets(IPrintOemUI* ui, CanUnloadNowFn canUnloadNow) {
    std::vector<BYTE> block(dm::kSize);
    OEMUIPSPARAM param = {};
    param.cbSize = sizeof(param);
    param.pOEMDM = block.data();
    PROPSHEETUI_INFO info = {};
    info.cbSize = sizeof(info);
    info.Reason = PROPSHEETUI_REASON_INIT;
    info.pfnComPropSheet = RefusingSheet;
    info.lParamInit = reinterpret_cast<LPARAM>(&param);
    ok(ui->DocumentPropertySheets(&info, 0) == E_FAIL, "a refused page is a failure");
    param.pOEMDM = nullptr;
    ok(ui->DocumentPropertySheets(&info, 0) == E_FAIL, "no block, no page");
    ui->AddRef();
    ok(ui->Release() == 1 && canUnloadNow() == S_FALSE, "no page state left behind");
}

// A string of the module's string table, read through the resource calls
// only (blocks of 16 counted strings; block n + 1 holds ids 16n to 16n + 15),
// so that the program needs no windowing library of its own.
std::wstring TableString(HMODULE module, int id) {
    constexpr WORD kRtString = 6;
    const HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id / 16 + 1), MAKEINTRESOURCEW(kRtString));
    if (found == nullptr)
        return {};
    const auto* at = static_cast<const WCHAR*>(LockResource(LoadResource(module, found)));
    for (int i = 0; i < id % 16; ++i)
        at += 1 + *at;
    return std::wstring(at + 1, at + 1 + *at);
}

// The labels the page shows are the settings table's, with a mnemonic.
void TestLabels(HMODULE module) {
    using klv::settings::Id;
    struct Case {
        int string;
        Id id;
    };
    const Case cases[] = {
        {KLVUI_STR_TEXT, Id::kWatermark},
        {KLVUI_STR_FONT, Id::kWatermarkFont},
        {KLVUI_STR_SIZE, Id::kWatermarkSize},
        {KLVUI_STR_ANGLE, Id::kWatermarkAngle},
        {KLVUI_STR_COLOUR, Id::kWatermarkColor},
        {KLVUI_STR_FULL_PAGE, Id::kFullPage},
        {KLVUI_STR_FLIP, Id::kFlip},
        {KLVUI_STR_JOB_NAME, Id::kJobName},
        {KLVUI_STR_PASSWORD, Id::kJobPassword},
    };
    std::wstring mnemonics;
    for (const Case& c : cases) {
        const std::wstring text = TableString(module, c.string);
        std::wstring shown;
        for (const wchar_t* p = text.c_str(); *p != 0; ++p) {
            if (*p == L'&' && p[1] != 0)
                mnemonics.push_back(p[1] >= L'A' && p[1] <= L'Z' ? static_cast<wchar_t>(p[1] + 32) : p[1]);
            else
                shown.push_back(*p);
        }
        if (shown.size() > 3 && shown.ends_with(L"..."))
            shown.resize(shown.size() - 3);
        const char* label = klv::settings::SettingOf(c.id).label;
        ok(shown == std::wstring(label, label + std::strlen(label)), "label \"%ls\" for \"%s\"", text.c_str(),
           label);
    }
    // The sheet's own buttons take o (OK is not underlined), c and a.
    mnemonics += L"a";
    for (std::size_t i = 0; i < mnemonics.size(); ++i)
        ok(mnemonics.find(mnemonics[i], i + 1) == std::wstring::npos, "mnemonic %lc used twice",
           mnemonics[i]);
}

} // namespace

int main() {
    const HMODULE module = LoadLibraryW(L"klvpsui.dll");
    const HMODULE renderModule = LoadLibraryW(L"klvps.dll");
    ok(module != nullptr && renderModule != nullptr, "load: %lu", GetLastError());
    if (module == nullptr || renderModule == nullptr) {
        return klv::conformance::Finish("ui");
    }
    const auto getClassObject = Export<GetClassObjectFn>(module, "DllGetClassObject");
    const auto canUnloadNow = Export<CanUnloadNowFn>(module, "DllCanUnloadNow");
    ok(getClassObject != nullptr && canUnloadNow != nullptr, "the two entry points are exported");
    if (getClassObject == nullptr || canUnloadNow == nullptr)
        return 1;

    void* object = reinterpret_cast<void*>(1);
    ok(getClassObject(klv::kClsidOemRender, klv::kIidClassFactory, &object) == CLASS_E_CLASSNOTAVAILABLE &&
           object == nullptr,
       "the render class is not this module's");
    IClassFactory* factory = nullptr;
    ok(getClassObject(klv::kClsidOemUi, klv::kIidClassFactory, reinterpret_cast<void**>(&factory)) == S_OK,
       "class object");
    if (factory != nullptr) {
        int outer = 0;
        ok(factory->CreateInstance(reinterpret_cast<IUnknown*>(&outer), klv::kIidPrintOemUi, &object) ==
               CLASS_E_NOAGGREGATION,
           "no aggregation");
        ok(factory->CreateInstance(nullptr, klv::kIidPrintOemPS, &object) == E_NOINTERFACE &&
               object == nullptr,
           "not a render plug-in");
        ok(factory->LockServer(TRUE) == S_OK && canUnloadNow() == S_FALSE, "locked");
        factory->LockServer(FALSE);
        factory->Release();
    }
    ok(canUnloadNow() == S_OK, "unloadable after the class object and its lock");

    auto* ui = Create<IPrintOemUI>(getClassObject, klv::kClsidOemUi, klv::kIidPrintOemUi);
    auto* render = Create<IPrintOemPS>(Export<GetClassObjectFn>(renderModule, "DllGetClassObject"),
                                       klv::kClsidOemRender, klv::kIidPrintOemPS);
    ok(ui != nullptr && render != nullptr, "both plug-ins created");
    if (ui != nullptr && render != nullptr) {
        ok(canUnloadNow() == S_FALSE, "busy while an object lives");
        ok(ui->PublishDriverInterface(nullptr) == E_FAIL, "no helper, no interface");
        TestGetInfoPairs(ui, render);
        TestDevModeMatchesRenderer(ui, render);
        TestNotProvided(ui);
        TestDocumentPropertySheets(ui, canUnloadNow);
        ok(ui->Release() == 0, "last release");
        render->Release();
        ok(canUnloadNow() == S_OK, "unloadable");
    }
    TestLabels(module);
    klv::conformance::CheckVersionResource(module, L"klvpsui", L"user interface plug-in");
    FreeLibrary(module);
    FreeLibrary(renderModule);
    return klv::conformance::Finish("ui");
}
