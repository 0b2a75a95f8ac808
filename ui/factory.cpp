#include "ui/factory.h"

#include "module/counters.h"
#include "ui/plugin.h"

#include <new>

namespace klv::ui {

UiPluginFactory* UiPluginFactory::Create() {
    return new (std::nothrow) UiPluginFactory();
}

HRESULT UiPluginFactory::QueryInterface(REFIID riid, void** ppv) {
    if (SameGuid(riid, kIidUnknown) || SameGuid(riid, kIidClassFactory)) {
        *ppv = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG UiPluginFactory::AddRef() {
    return AddRefCount(refCount);
}

ULONG UiPluginFactory::Release() {
    const ULONG left = ReleaseCount(refCount);
    if (left == 0)
        delete this;
    return left;
}

HRESULT UiPluginFactory::CreateInstance(IUnknown* outer, REFIID riid, void** ppv) {
    if (outer != nullptr)
        return CLASS_E_NOAGGREGATION;
    UiPlugin* plugin = UiPlugin::Create();
    if (plugin == nullptr)
        return E_OUTOFMEMORY;
    const HRESULT result = plugin->QueryInterface(riid, ppv);
    plugin->Release();
    return result;
}

HRESULT UiPluginFactory::LockServer(BOOL lock) {
    if (lock)
        InterlockedIncrement(&gLockCount);
    else
        InterlockedDecrement(&gLockCount);
    return S_OK;
}

} // namespace klv::ui
