// The driver's helper interface published to the plug-in. What the plug-in
// writes through it goes to the session of the device it names.
#pragma once

#include "libraries/simulator/simulator.h"

namespace klv::sim {

class Simulator::DriverHelper final : public IPrintOemDriverPS {
public:
    LONG refCount = 1;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE DrvGetDriverSetting(PVOID, PCSTR, PVOID, DWORD, PDWORD needed,
                                                  PDWORD optionsReturned) override;
    HRESULT STDMETHODCALLTYPE DrvWriteSPBuf(PDEVOBJ devobj, PVOID buffer, DWORD size,
                                            DWORD* written) override;
};

} // namespace klv::sim
