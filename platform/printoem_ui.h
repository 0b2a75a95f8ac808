// The PostScript driver's user-interface plug-in interfaces and records,
// declared with the platform's names, member order and method order. The
// user interface runs only on Windows: the common property sheet records
// (PROPSHEETUI_INFO, CPSFUNC_*) come from the toolchain's compstui.h, and
// their layouts are checked here as the driver sees them.
#pragma once

#include "platform/printoem.h"

#if !defined(_WIN32)
#error "platform/printoem_ui.h declares the Windows user interface only"
#endif

#include <commctrl.h>
#include <compstui.h>

// What the spooler asks of DevQueryPrintEx; the toolchain does not declare it.
struct DEVQUERYPRINT_INFO {
    WORD cbSize;
    WORD Level;
    HANDLE hPrinter;
    DEVMODEW* pDevMode;
    LPWSTR pszErrorStr;
    DWORD cchErrorStr;
    DWORD cchNeeded;
};
using PDEVQUERYPRINT_INFO = DEVQUERYPRINT_INFO*;

using OEMUIOBJ = void;
using POEMUIOBJ = OEMUIOBJ*;

// What the driver hands DocumentPropertySheets and DevicePropertySheets in
// PROPSHEETUI_INFO::lParamInit.
struct OEMUIPSPARAM {
    DWORD cbSize;
    POEMUIOBJ poemuiobj;
    HANDLE hPrinter;
    PWSTR pPrinterName;
    HANDLE hModule;
    HANDLE hOEMHeap;
    DEVMODEW* pPublicDM;
    PVOID pOEMDM; // the plug-in's private device mode, which the page edits
    PVOID pOEMUserData;
    DWORD dwFlags; // DOCUMENTPROPERTYHEADER::fMode, or DEVICEPROPERTYHEADER::Flags
    PVOID pOemEntry;
};
using POEMUIPSPARAM = OEMUIPSPARAM*;

// What CommonUIProp receives; the plug-in does not change the driver's own
// pages, so only its size matters to it.
struct OEMCUIPPARAM {
    DWORD cbSize;
    POEMUIOBJ poemuiobj;
    HANDLE hPrinter;
    PWSTR pPrinterName;
    HANDLE hModule;
    HANDLE hOEMHeap;
    DEVMODEW* pPublicDM;
    PVOID pOEMDM;
    DWORD dwFlags;
    POPTITEM pDrvOptItems;
    DWORD cDrvOptItems;
    POPTITEM pOEMOptItems;
    DWORD cOEMOptItems;
    PVOID pOEMUserData;
    _CPSUICALLBACK OEMCUIPCallback;
};
using POEMCUIPPARAM = OEMCUIPPARAM*;

// The driver's helper interface, published to a user-interface plug-in.
struct IPrintOemDriverUI : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE DrvGetDriverSetting(PVOID pci, PCSTR feature, PVOID output, DWORD size,
                                                          PDWORD needed, PDWORD optionsReturned) = 0;
    virtual HRESULT STDMETHODCALLTYPE DrvUpgradeRegistrySetting(HANDLE printer, PCSTR feature,
                                                                PCSTR option) = 0;
    virtual HRESULT STDMETHODCALLTYPE DrvUpdateUISetting(PVOID pci, PVOID optItem, DWORD previousSelection,
                                                         DWORD mode) = 0;
};

// The interface through which the driver's user interface drives a
// user-interface plug-in.
struct IPrintOemUI : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE PublishDriverInterface(IUnknown* unknown) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetInfo(DWORD mode, PVOID buffer, DWORD size, PDWORD needed) = 0;
    virtual HRESULT STDMETHODCALLTYPE DevMode(DWORD mode, POEMDMPARAM param) = 0;
    virtual HRESULT STDMETHODCALLTYPE CommonUIProp(DWORD mode, POEMCUIPPARAM param) = 0;
    virtual HRESULT STDMETHODCALLTYPE DocumentPropertySheets(PPROPSHEETUI_INFO info, LPARAM lParam) = 0;
    virtual HRESULT STDMETHODCALLTYPE DevicePropertySheets(PPROPSHEETUI_INFO info, LPARAM lParam) = 0;
    virtual HRESULT STDMETHODCALLTYPE DevQueryPrintEx(POEMUIOBJ oemuiobj, PDEVQUERYPRINT_INFO queryInfo,
                                                      DEVMODEW* publicDm, PVOID oemDm) = 0;
    virtual HRESULT STDMETHODCALLTYPE DeviceCapabilities(POEMUIOBJ oemuiobj, HANDLE printer, PWSTR deviceName,
                                                         WORD capability, PVOID output, DEVMODEW* publicDm,
                                                         PVOID oemDm, DWORD old, DWORD* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE UpgradePrinter(DWORD level, PBYTE upgradeInfo) = 0;
    virtual HRESULT STDMETHODCALLTYPE PrinterEvent(PWSTR printerName, INT driverEvent, DWORD flags,
                                                   LPARAM lParam) = 0;
    virtual HRESULT STDMETHODCALLTYPE DriverEvent(DWORD driverEvent, DWORD level, LPBYTE driverInfo,
                                                  LPARAM lParam) = 0;
    virtual HRESULT STDMETHODCALLTYPE QueryColorProfile(HANDLE printer, POEMUIOBJ oemuiobj,
                                                        DEVMODEW* publicDm, PVOID oemDm, ULONG queryMode,
                                                        VOID* profileData, ULONG* profileSize,
                                                        FLONG* profileFlags) = 0;
    virtual HRESULT STDMETHODCALLTYPE FontInstallerDlgProc(HWND window, UINT message, WPARAM wParam,
                                                           LPARAM lParam) = 0;
    virtual HRESULT STDMETHODCALLTYPE UpdateExternalFonts(HANDLE printer, HANDLE heap, PWSTR cartridges) = 0;
};

namespace klv {

extern const CLSID kClsidOemUi;        // {ABCE80D7-9F46-11D1-882A-00C04FB961EC}
extern const IID kIidPrintOemUi;       // {C6A7A9D0-774C-11D1-947F-00A0C90640B8}
extern const IID kIidPrintOemDriverUi; // {92B05D50-78BC-11D1-9480-00A0C90640B8}

} // namespace klv

static_assert(offsetof(OEMUIPSPARAM, pOEMDM) == (kWide ? 56 : 28));
static_assert(offsetof(OEMUIPSPARAM, dwFlags) == (kWide ? 72 : 36));
static_assert(sizeof(OEMUIPSPARAM) == (kWide ? 88 : 44));
static_assert(offsetof(OEMCUIPPARAM, pDrvOptItems) == (kWide ? 72 : 36));
static_assert(sizeof(OEMCUIPPARAM) == (kWide ? 120 : 60));
static_assert(offsetof(PROPSHEETUI_INFO, hComPropSheet) == 8);
static_assert(offsetof(PROPSHEETUI_INFO, lParamInit) == (kWide ? 24 : 16));
static_assert(sizeof(PROPSHEETUI_INFO) == (kWide ? 48 : 28));
static_assert(CPSFUNC_ADD_PROPSHEETPAGEW == 1 && PROPSHEETUI_REASON_INIT == 0 &&
              PROPSHEETUI_REASON_SET_RESULT == 3 && PROPSHEETUI_REASON_DESTROY == 2);
