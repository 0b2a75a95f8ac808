#include "libraries/simulator/driver_helper.h"

#include "libraries/simulator/session_internal.h"

namespace klv::sim {

HRESULT Simulator::DriverHelper::QueryInterface(REFIID riid, void** ppv) {
    if (ppv == nullptr)
        return E_INVALIDARG;
    if (SameGuid(riid, kIidUnknown) || SameGuid(riid, kIidPrintOemDriverPS)) {
        *ppv = static_cast<IPrintOemDriverPS*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG Simulator::DriverHelper::AddRef() {
    return static_cast<ULONG>(++refCount);
}

ULONG Simulator::DriverHelper::Release() {
    return static_cast<ULONG>(--refCount);
}

// The simulated driver has no settings to report.
HRESULT Simulator::DriverHelper::DrvGetDriverSetting(PVOID, PCSTR, PVOID, DWORD, PDWORD needed,
                                                     PDWORD optionsReturned) {
    if (needed != nullptr)
        *needed = 0;
    if (optionsReturned != nullptr)
        *optionsReturned = 0;
    return E_NOTIMPL;
}

HRESULT Simulator::DriverHelper::DrvWriteSPBuf(PDEVOBJ devobj, PVOID buffer, DWORD size, DWORD* written) {
    if (written != nullptr)
        *written = 0;
    auto* record = reinterpret_cast<DeviceRecord*>(devobj);
    if (record == nullptr || record->magic != kDeviceMagic || record->owner == nullptr)
        return E_INVALIDARG;
    DriverSession::State& s = *record->owner;
    if (buffer == nullptr && size != 0) {
        s.Fault("DrvWriteSPBuf with a null buffer");
        return E_INVALIDARG;
    }
    const std::string_view bytes(static_cast<const char*>(buffer), size);
    const DWORD point = s.inCommand ? s.currentPoint : 0;
    ++s.log.writeCalls[point];
    if (s.keepLogText)
        s.log.written[point] += bytes;
    if (s.inCommand) {
        s.commandOutput += bytes;
    } else {
        s.Fault("DrvWriteSPBuf outside an injection point");
        if (s.driver != nullptr)
            s.driver->WriteOutsideCommand(bytes);
    }
    if (written != nullptr)
        *written = size;
    return S_OK;
}

} // namespace klv::sim
