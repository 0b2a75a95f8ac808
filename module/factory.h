// RenderPluginFactory: the class object for the plug-in's one COM class.
#pragma once

#include "platform/printoem.h"

namespace klv {

class RenderPluginFactory final : public IClassFactory {
public:
    // A new factory holds one reference; null when memory is short.
    static RenderPluginFactory* Create();

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override;
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override;

private:
    RenderPluginFactory() = default;
    ~RenderPluginFactory() = default;

    volatile LONG refCount = 1;
};

} // namespace klv
