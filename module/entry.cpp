// The module's entry points: the loader's notification, the class object
// and the unload query.
#include "module/entry.h"
#include "module/counters.h"
#include "module/factory.h"

namespace klv {

volatile LONG gObjectCount = 0;
volatile LONG gLockCount = 0;

} // namespace klv

using klv::RenderPluginFactory;

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) {
    return TRUE;
}

KLV_EXPORT HRESULT KLV_STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv) {
    if (!klv::SameGuid(rclsid, klv::kClsidOemRender))
        return CLASS_E_CLASSNOTAVAILABLE;
    RenderPluginFactory* factory = RenderPluginFactory::Create();
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
