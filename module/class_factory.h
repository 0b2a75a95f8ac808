// The class object of a module's one COM class, and the entry points that
// hand it out and answer the unload query. The render plug-in and the
// user-interface plug-in are each such a module; Plugin names the class:
//
//   HRESULT DllGetClassObject(REFCLSID c, REFIID i, void** p) {
//       return klv::GetClassObject<RenderPlugin>(kClsidOemRender, c, i, p);
//   }
//
// The reference count is the one field after the interface table, where
// the plug-in objects keep theirs too.
//
// Plugin::Create() returns a new object holding one reference, or null
// when memory is short.
#pragma once

#include "module/counters.h"
#include "platform/printoem.h"
#include "platform/trace.h"

#include <new>

namespace klv {

template <typename Plugin> class ClassFactory final : public IClassFactory {
public:
    // A new factory holds one reference; null when memory is short.
    static ClassFactory* Create() {
        ClassFactory* factory = new (std::nothrow) ClassFactory();
        if (factory == nullptr)
            KLV_TRACE("no memory for the class object");
        return factory;
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (ppv == nullptr)
            return E_POINTER;
        if (SameGuid(riid, kIidUnknown) || SameGuid(riid, kIidClassFactory)) {
            *ppv = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }

    ULONG STDMETHODCALLTYPE AddRef() override { return AddRefCount(refCount_); }

    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = ReleaseCount(refCount_);
        if (left == 0)
            delete this;
        return left;
    }

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
        if (ppv == nullptr)
            return E_POINTER;
        if (outer != nullptr)
            return CLASS_E_NOAGGREGATION;
        Plugin* plugin = Plugin::Create();
        if (plugin == nullptr)
            return E_OUTOFMEMORY;
        const HRESULT result = plugin->QueryInterface(riid, ppv);
        plugin->Release();
        return result;
    }

    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        if (lock)
            InterlockedIncrement(&gLockCount);
        else
            InterlockedDecrement(&gLockCount);
        return S_OK;
    }

private:
    ClassFactory() = default;
    ~ClassFactory() = default;

    volatile LONG refCount_ = 1;
};

// DllGetClassObject for a module whose one class is clsid. A class it does
// not serve leaves *ppv as it was; an interface it does not offer clears it.
template <typename Plugin>
HRESULT GetClassObject(const GUID& clsid, REFCLSID rclsid, REFIID riid, void** ppv) {
    if (ppv == nullptr)
        return E_INVALIDARG;
    if (!SameGuid(rclsid, clsid))
        return CLASS_E_CLASSNOTAVAILABLE;
    ClassFactory<Plugin>* factory = ClassFactory<Plugin>::Create();
    if (factory == nullptr)
        return E_OUTOFMEMORY;
    const HRESULT result = factory->QueryInterface(riid, ppv);
    factory->Release();
    return result;
}

// DllCanUnloadNow: no object of the module exists and no lock is held.
inline HRESULT CanUnloadNow() {
    return ReadCount(gObjectCount) != 0 || ReadCount(gLockCount) != 0 ? S_FALSE : S_OK;
}

} // namespace klv
