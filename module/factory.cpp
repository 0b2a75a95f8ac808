#include "module/factory.h"

#include "module/counters.h"
#include "module/plugin.h"
#include "platform/trace.h"

#include <new>

namespace klv {

RenderPluginFactory* RenderPluginFactory::Create() {
    RenderPluginFactory* factory = new (std::nothrow) RenderPluginFactory();
    if (factory == nullptr)
        KLV_TRACE("no memory for the class object");
    return factory;
}

HRESULT RenderPluginFactory::QueryInterface(REFIID riid, void** ppv) {
    if (SameGuid(riid, kIidUnknown) || SameGuid(riid, kIidClassFactory)) {
        *ppv = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG RenderPluginFactory::AddRef() {
    return AddRefCount(refCount);
}

ULONG RenderPluginFactory::Release() {
    const ULONG left = ReleaseCount(refCount);
    if (left == 0)
        delete this;
    return left;
}

HRESULT RenderPluginFactory::CreateInstance(IUnknown* outer, REFIID riid, void** ppv) {
    if (outer != nullptr)
        return CLASS_E_NOAGGREGATION;
    RenderPlugin* plugin = RenderPlugin::Create();
    if (plugin == nullptr)
        return E_OUTOFMEMORY;
    const HRESULT result = plugin->QueryInterface(riid, ppv);
    plugin->Release();
    return result;
}

HRESULT RenderPluginFactory::LockServer(BOOL lock) {
    if (lock)
        InterlockedIncrement(&gLockCount);
    else
        InterlockedDecrement(&gLockCount);
    return S_OK;
}

} // namespace klv
