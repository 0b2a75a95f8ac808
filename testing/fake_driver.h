// Test doubles for the driver's side of the plug-in interface.
#pragma once

#include "platform/printoem.h"

#include <string>
#include <vector>

namespace klv::testing {

// The driver's IPrintOemDriverPS: records every DrvWriteSPBuf call.
class FakeDriverHelper final : public IPrintOemDriverPS {
public:
    std::vector<std::string> writes; // bytes of each call, in order
    std::vector<PDEVOBJ> writeDevices;
    HRESULT writeResult = S_OK; // what DrvWriteSPBuf reports
    LONG refCount = 1;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE DrvGetDriverSetting(PVOID, PCSTR, PVOID, DWORD, PDWORD, PDWORD) override;
    HRESULT STDMETHODCALLTYPE DrvWriteSPBuf(PDEVOBJ devobj, PVOID buffer, DWORD size,
                                            DWORD* written) override;
};

// The object the driver hands to PublishDriverInterface.
class FakeDriverUnknown final : public IUnknown {
public:
    explicit FakeDriverUnknown(IPrintOemDriverPS* helper) : helper_(helper) {}

    int queries = 0;
    HRESULT queryResult = S_OK; // a failure hands out nothing

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

private:
    IPrintOemDriverPS* helper_;
};

// Wide text in the platform's 16-bit units.
std::u16string Wide(const char* ascii);

} // namespace klv::testing
