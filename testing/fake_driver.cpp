#include "testing/fake_driver.h"

namespace klv::testing {

HRESULT FakeDriverHelper::QueryInterface(REFIID riid, void** ppv) {
    if (SameGuid(riid, kIidUnknown) || SameGuid(riid, kIidPrintOemDriverPS)) {
        *ppv = static_cast<IPrintOemDriverPS*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG FakeDriverHelper::AddRef() {
    return static_cast<ULONG>(++refCount);
}

ULONG FakeDriverHelper::Release() {
    return static_cast<ULONG>(--refCount);
}

HRESULT FakeDriverHelper::DrvGetDriverSetting(PVOID, PCSTR, PVOID, DWORD, PDWORD, PDWORD) {
    return E_FAIL;
}

HRESULT FakeDriverHelper::DrvWriteSPBuf(PDEVOBJ devobj, PVOID buffer, DWORD size, DWORD* written) {
    writes.emplace_back(static_cast<const char*>(buffer), size);
    writeDevices.push_back(devobj);
    if (written != nullptr)
        *written = SUCCEEDED(writeResult) ? size : 0;
    return writeResult;
}

HRESULT FakeDriverUnknown::QueryInterface(REFIID riid, void** ppv) {
    ++queries;
    if (FAILED(queryResult) || !SameGuid(riid, kIidPrintOemDriverPS)) {
        *ppv = nullptr;
        return FAILED(queryResult) ? queryResult : E_NOINTERFACE;
    }
    helper_->AddRef();
    *ppv = helper_;
    return S_OK;
}

std::u16string Wide(const char* ascii) {
    std::u16string out;
    for (; *ascii != '\0'; ++ascii)
        out.push_back(static_cast<char16_t>(static_cast<unsigned char>(*ascii)));
    return out;
}

} // namespace klv::testing
