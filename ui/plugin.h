// UiPlugin: the object the driver's user interface talks to through
// IPrintOemUI. It sizes, defaults and merges the private device-mode block
// with the render plug-in's code, and adds the "Watermark and Job" page to
// the document properties (a user's printing preferences, and the printer's
// printing defaults an administrator sets).
#pragma once

#include "platform/printoem_ui.h"

namespace klv::ui {

class UiPlugin final : public IPrintOemUI {
public:
    // Only the class object (ClassFactory) creates plug-in objects; the new object holds
    // one reference.
    static UiPlugin* Create();

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    HRESULT STDMETHODCALLTYPE PublishDriverInterface(IUnknown* unknown) override;
    HRESULT STDMETHODCALLTYPE GetInfo(DWORD mode, PVOID buffer, DWORD size, PDWORD needed) override;
    HRESULT STDMETHODCALLTYPE DevMode(DWORD mode, POEMDMPARAM param) override;
    HRESULT STDMETHODCALLTYPE CommonUIProp(DWORD mode, POEMCUIPPARAM param) override;
    HRESULT STDMETHODCALLTYPE DocumentPropertySheets(PPROPSHEETUI_INFO info, LPARAM lParam) override;
    HRESULT STDMETHODCALLTYPE DevicePropertySheets(PPROPSHEETUI_INFO info, LPARAM lParam) override;
    HRESULT STDMETHODCALLTYPE DevQueryPrintEx(POEMUIOBJ oemuiobj, PDEVQUERYPRINT_INFO queryInfo,
                                              DEVMODEW* publicDm, PVOID oemDm) override;
    HRESULT STDMETHODCALLTYPE DeviceCapabilities(POEMUIOBJ oemuiobj, HANDLE printer, PWSTR deviceName,
                                                 WORD capability, PVOID output, DEVMODEW* publicDm,
                                                 PVOID oemDm, DWORD old, DWORD* result) override;
    HRESULT STDMETHODCALLTYPE UpgradePrinter(DWORD level, PBYTE upgradeInfo) override;
    HRESULT STDMETHODCALLTYPE PrinterEvent(PWSTR printerName, INT driverEvent, DWORD flags,
                                           LPARAM lParam) override;
    HRESULT STDMETHODCALLTYPE DriverEvent(DWORD driverEvent, DWORD level, LPBYTE driverInfo,
                                          LPARAM lParam) override;
    HRESULT STDMETHODCALLTYPE QueryColorProfile(HANDLE printer, POEMUIOBJ oemuiobj, DEVMODEW* publicDm,
                                                PVOID oemDm, ULONG queryMode, VOID* profileData,
                                                ULONG* profileSize, FLONG* profileFlags) override;
    HRESULT STDMETHODCALLTYPE FontInstallerDlgProc(HWND window, UINT message, WPARAM wParam,
                                                   LPARAM lParam) override;
    HRESULT STDMETHODCALLTYPE UpdateExternalFonts(HANDLE printer, HANDLE heap, PWSTR cartridges) override;

private:
    UiPlugin();
    ~UiPlugin();

    volatile LONG refCount = 1;
    IPrintOemDriverUI* driverHelper = nullptr;
};

} // namespace klv::ui
