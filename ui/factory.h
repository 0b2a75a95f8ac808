// UiPluginFactory: the class object for the user-interface plug-in's one
// COM class.
#pragma once

#include "platform/printoem_ui.h"

namespace klv::ui {

class UiPluginFactory final : public IClassFactory {
public:
    // A new factory holds one reference; null when memory is short.
    static UiPluginFactory* Create();

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override;
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override;

private:
    UiPluginFactory() = default;
    ~UiPluginFactory() = default;

    volatile LONG refCount = 1;
};

} // namespace klv::ui
