#include "ui/plugin.h"

#include "devmode/devmode.h"
#include "module/counters.h"
#include "platform/trace.h"
#include "ui/page.h"

#include <new>

namespace klv::ui {

namespace {

// The page goes to the common property sheet; the sheet's own answer to
// adding it is a page handle, or zero when it failed.
bool AddPage(PPROPSHEETUI_INFO info, BYTE* block) {
    PROPSHEETPAGEW page;
    if (!PreparePage(page, block))
        return false;
    const LONG_PTR added = info->pfnComPropSheet(info->hComPropSheet, CPSFUNC_ADD_PROPSHEETPAGEW,
                                                 reinterpret_cast<LPARAM>(&page), 0);
    if (added <= 0) {
        DiscardPage(page);
        return false;
    }
    return true;
}

} // namespace

UiPlugin* UiPlugin::Create() {
    UiPlugin* plugin = new (std::nothrow) UiPlugin();
    if (plugin == nullptr)
        KLV_TRACE("no memory for the user-interface object");
    return plugin;
}

UiPlugin::UiPlugin() {
    InterlockedIncrement(&gObjectCount);
}

UiPlugin::~UiPlugin() {
    if (driverHelper != nullptr)
        driverHelper->Release();
    InterlockedDecrement(&gObjectCount);
}

HRESULT UiPlugin::QueryInterface(REFIID riid, void** ppv) {
    if (SameGuid(riid, kIidUnknown) || SameGuid(riid, kIidPrintOemUi)) {
        *ppv = static_cast<IPrintOemUI*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG UiPlugin::AddRef() {
    return AddRefCount(refCount);
}

ULONG UiPlugin::Release() {
    const ULONG left = ReleaseCount(refCount);
    if (left == 0)
        delete this;
    return left;
}

HRESULT UiPlugin::PublishDriverInterface(IUnknown* unknown) {
    if (driverHelper != nullptr)
        return S_OK;
    void* helper = nullptr;
    if (unknown == nullptr || FAILED(unknown->QueryInterface(kIidPrintOemDriverUi, &helper)))
        return E_FAIL;
    driverHelper = static_cast<IPrintOemDriverUI*>(helper);
    return S_OK;
}

HRESULT UiPlugin::GetInfo(DWORD mode, PVOID buffer, DWORD size, PDWORD needed) {
    return HandleGetInfo(mode, buffer, size, needed);
}

HRESULT UiPlugin::DevMode(DWORD mode, POEMDMPARAM param) {
    return HandleDevMode(mode, param);
}

HRESULT UiPlugin::DocumentPropertySheets(PPROPSHEETUI_INFO info, LPARAM lParam) {
    // Without a sheet the driver asks only for the block to be brought up
    // to date, which DevMode has done.
    if (info == nullptr)
        return S_OK;
    switch (info->Reason) {
    case PROPSHEETUI_REASON_INIT: {
        const auto* param = reinterpret_cast<const OEMUIPSPARAM*>(info->lParamInit);
        if (param == nullptr || param->pOEMDM == nullptr || info->pfnComPropSheet == nullptr) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return E_FAIL;
        }
        if (!AddPage(info, static_cast<BYTE*>(param->pOEMDM)))
            return E_FAIL;
        info->Result = CPSUI_CANCEL;
        return S_OK;
    }
    case PROPSHEETUI_REASON_SET_RESULT: {
        const auto* result = reinterpret_cast<const SETRESULT_INFO*>(lParam);
        if (result != nullptr)
            info->Result = static_cast<ULONG_PTR>(result->Result);
        return S_OK;
    }
    case PROPSHEETUI_REASON_GET_INFO_HEADER:
    case PROPSHEETUI_REASON_DESTROY:
        return S_OK;
    default:
        return E_NOTIMPL;
    }
}

// What the plug-in does not provide: the driver's own pages stay as they
// are, there is no printer-wide page, and the driver answers the rest.
HRESULT UiPlugin::CommonUIProp(DWORD, POEMCUIPPARAM) {
    return E_NOTIMPL;
}
HRESULT UiPlugin::DevicePropertySheets(PPROPSHEETUI_INFO, LPARAM) {
    return E_NOTIMPL;
}
HRESULT UiPlugin::DevQueryPrintEx(POEMUIOBJ, PDEVQUERYPRINT_INFO, DEVMODEW*, PVOID) {
    return E_NOTIMPL;
}
HRESULT UiPlugin::DeviceCapabilities(POEMUIOBJ, HANDLE, PWSTR, WORD, PVOID, DEVMODEW*, PVOID, DWORD, DWORD*) {
    return E_NOTIMPL;
}
HRESULT UiPlugin::UpgradePrinter(DWORD, PBYTE) {
    return E_NOTIMPL;
}
HRESULT UiPlugin::PrinterEvent(PWSTR, INT, DWORD, LPARAM) {
    return E_NOTIMPL;
}
HRESULT UiPlugin::DriverEvent(DWORD, DWORD, LPBYTE, LPARAM) {
    return E_NOTIMPL;
}
HRESULT UiPlugin::QueryColorProfile(HANDLE, POEMUIOBJ, DEVMODEW*, PVOID, ULONG, VOID*, ULONG*, FLONG*) {
    return E_NOTIMPL;
}
HRESULT UiPlugin::FontInstallerDlgProc(HWND, UINT, WPARAM, LPARAM) {
    return E_NOTIMPL;
}
HRESULT UiPlugin::UpdateExternalFonts(HANDLE, HANDLE, PWSTR) {
    return E_NOTIMPL;
}

} // namespace klv::ui
