// The user-interface module's entry points: the loader's notification, the
// class object and the unload query, with the render plug-in's unload rule.
#include "module/entry.h"
#include "module/counters.h"
#include "ui/factory.h"

namespace klv {

volatile LONG gObjectCount = 0; // plug-in objects and pages that exist
volatile LONG gLockCount = 0;

} // namespace klv

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) {
    return TRUE;
}

KLV_EXPORT HRESULT KLV_STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv) {
    if (ppv == nullptr)
        return E_INVALIDARG;
    *ppv = nullptr;
    if (!klv::SameGuid(rclsid, klv::kClsidOemUi))
        return CLASS_E_CLASSNOTAVAILABLE;
    klv::ui::UiPluginFactory* factory = klv::ui::UiPluginFactory::Create();
    if (factory == nullptr)
        return E_OUTOFMEMORY;
    const HRESULT result = factory->QueryInterface(riid, ppv);
    factory->Release();
    return result;
}

KLV_EXPORT HRESULT KLV_STDAPI DllCanUnloadNow() {
    if (klv::ReadCount(klv::gObjectCount) != 0 || klv::ReadCount(klv::gLockCount) != 0)
        return S_FALSE;
    return S_OK;
}
