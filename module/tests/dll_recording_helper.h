// The driver's helper interface as the conformance programs build it, as a
// driver would: it keeps what the plug-in writes, one entry per
// DrvWriteSPBuf call, and counts its references.
#pragma once

#include "platform/printoem.h"

#include <string>
#include <vector>

namespace klv::conformance {

class RecordingHelper final : public IPrintOemDriverPS {
public:
    std::vector<std::string> writes;
    LONG refs = 1;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (IsEqualGUID(riid, kIidPrintOemDriverPS) || IsEqualGUID(riid, kIidUnknown)) {
            *ppv = static_cast<IPrintOemDriverPS*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++refs); }
    ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--refs); }
    HRESULT STDMETHODCALLTYPE DrvGetDriverSetting(PVOID, PCSTR, PVOID, DWORD, PDWORD, PDWORD) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE DrvWriteSPBuf(PDEVOBJ, PVOID buffer, DWORD size, DWORD* written) override {
        writes.emplace_back(static_cast<const char*>(buffer), size);
        *written = size;
        return S_OK;
    }

    // Everything written, in order.
    std::string Joined() const {
        std::string all;
        for (const std::string& w : writes)
            all += w;
        return all;
    }
};

} // namespace klv::conformance
