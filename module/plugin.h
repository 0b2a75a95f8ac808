// RenderPlugin: the object the PostScript driver talks to through
// IPrintOemPS. It keeps the driver's helper interface and hands each call
// to the subsystem that does the work.
#pragma once

#include "platform/printoem.h"

namespace klv {

constexpr DWORD kPluginSignature = 0x4B4C564F; // 'KLVO'
constexpr DWORD kPluginVersion = 2;

class RenderPlugin final : public IPrintOemPS {
public:
    // Only RenderPluginFactory creates plug-in objects; the new object holds
    // one reference.
    static RenderPlugin* Create();

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    HRESULT STDMETHODCALLTYPE GetInfo(DWORD mode, PVOID buffer, DWORD size, PDWORD needed) override;
    HRESULT STDMETHODCALLTYPE DevMode(DWORD mode, POEMDMPARAM param) override;
    HRESULT STDMETHODCALLTYPE EnableDriver(DWORD driverVersion, DWORD size,
                                           DRVENABLEDATA* enableData) override;
    HRESULT STDMETHODCALLTYPE DisableDriver() override;
    HRESULT STDMETHODCALLTYPE EnablePDEV(PDEVOBJ devobj, PWSTR printerName, ULONG patternCount,
                                         HSURF* patterns, ULONG gdiInfoSize, GDIINFO* gdiInfo,
                                         ULONG devInfoSize, DEVINFO* devInfo, DRVENABLEDATA* enableData,
                                         PDEVOEM* devOem) override;
    HRESULT STDMETHODCALLTYPE DisablePDEV(PDEVOBJ devobj) override;
    HRESULT STDMETHODCALLTYPE ResetPDEV(PDEVOBJ oldDevobj, PDEVOBJ newDevobj) override;
    HRESULT STDMETHODCALLTYPE PublishDriverInterface(IUnknown* unknown) override;
    HRESULT STDMETHODCALLTYPE Command(PDEVOBJ devobj, DWORD index, PVOID data, DWORD size,
                                      DWORD* result) override;

private:
    RenderPlugin();
    ~RenderPlugin();
    void DropDriverHelper();

    volatile LONG refCount = 1;
    IPrintOemDriverPS* driverHelper = nullptr;
};

} // namespace klv
