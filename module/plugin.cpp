#include "module/plugin.h"

#include "devmode/devmode.h"
#include "devmode/layout.h"
#include "hooks/geometry.h"
#include "hooks/hooks.h"
#include "inject/inject.h"
#include "module/counters.h"
#include "platform/trace.h"

#include <cstring>
#include <new>

static_assert(klv::kPluginSignature == klv::dm::kSignature && klv::kPluginVersion == klv::dm::kVersion);

namespace klv {

RenderPlugin* RenderPlugin::Create() {
    RenderPlugin* plugin = new (std::nothrow) RenderPlugin();
    if (plugin == nullptr)
        KLV_TRACE("no memory for the plug-in object");
    return plugin;
}

RenderPlugin::RenderPlugin() {
    InterlockedIncrement(&gObjectCount);
}

RenderPlugin::~RenderPlugin() {
    DropDriverHelper();
    InterlockedDecrement(&gObjectCount);
}

void RenderPlugin::DropDriverHelper() {
    if (driverHelper != nullptr) {
        driverHelper->Release();
        driverHelper = nullptr;
    }
}

HRESULT RenderPlugin::QueryInterface(REFIID riid, void** ppv) {
    if (SameGuid(riid, kIidUnknown) || SameGuid(riid, kIidPrintOemPS)) {
        *ppv = static_cast<IPrintOemPS*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG RenderPlugin::AddRef() {
    return AddRefCount(refCount);
}

ULONG RenderPlugin::Release() {
    const ULONG left = ReleaseCount(refCount);
    if (left == 0)
        delete this;
    return left;
}

HRESULT RenderPlugin::GetInfo(DWORD mode, PVOID buffer, DWORD size, PDWORD needed) {
    return HandleGetInfo(mode, buffer, size, needed);
}

HRESULT RenderPlugin::DevMode(DWORD mode, POEMDMPARAM param) {
    return HandleDevMode(mode, param);
}

HRESULT RenderPlugin::EnableDriver(DWORD driverVersion, DWORD size, DRVENABLEDATA* enableData) {
    FillEnableData(driverVersion, size, enableData);
    return S_OK;
}

HRESULT RenderPlugin::DisableDriver() {
    DisableDriverStep();
    DropDriverHelper();
    return S_OK;
}

HRESULT RenderPlugin::EnablePDEV(PDEVOBJ devobj, PWSTR printerName, ULONG patternCount, HSURF* patterns,
                                 ULONG gdiInfoSize, GDIINFO* gdiInfo, ULONG devInfoSize, DEVINFO* devInfo,
                                 DRVENABLEDATA* enableData, PDEVOEM* devOem) {
    AdjustFullPageGeometry(devobj, gdiInfo);
    DeviceHookState* state = BuildDeviceHookState(devobj, printerName, patternCount, patterns, gdiInfoSize,
                                                  gdiInfo, devInfoSize, devInfo, enableData);
    *devOem = state;
    return state != nullptr ? S_OK : E_FAIL;
}

HRESULT RenderPlugin::DisablePDEV(PDEVOBJ devobj) {
    FreeDeviceHookState(devobj);
    return S_OK;
}

HRESULT RenderPlugin::ResetPDEV(PDEVOBJ oldDevobj, PDEVOBJ newDevobj) {
    return ResetDeviceHookState(oldDevobj, newDevobj) ? S_OK : E_FAIL;
}

HRESULT RenderPlugin::PublishDriverInterface(IUnknown* unknown) {
    if (driverHelper != nullptr)
        return S_OK;
    void* helper = nullptr;
    if (unknown == nullptr || FAILED(unknown->QueryInterface(kIidPrintOemDriverPS, &helper))) {
        driverHelper = nullptr;
        return E_FAIL;
    }
    driverHelper = static_cast<IPrintOemDriverPS*>(helper);
    return S_OK;
}

HRESULT RenderPlugin::Command(PDEVOBJ devobj, DWORD index, PVOID data, DWORD size, DWORD* result) {
    const DWORD outcome = InjectPostScript(devobj, index, data, size, driverHelper);
    if (result != nullptr)
        *result = outcome;
    return S_OK;
}

} // namespace klv
