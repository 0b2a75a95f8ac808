// The one device the unit tests and benchmarks use: a device as the driver
// sets it up for the plug-in, with a private device mode holding its
// defaults, a print queue, a driver helper that records every write, the
// plug-in's per-device block of the driver's functions, and a surface on it.
//
//   klv::testing::TestDevice device;                  // no driver functions
//   device.SetShort(klv::dm::kSWatermarkOn, 1);
//   std::string text = klv::testing::Concat(device.Inject(PSINJECT_BEGINPAGESETUP));
//
//   klv::testing::TestDevice drawing({{INDEX_DrvStartPage, myStartPage}});
//   klv::HookStartPage(&drawing.surface);            // reaches myStartPage
#pragma once

#include "devmode/layout.h"
#include "hooks/device_state.h"
#include "platform/host/job_queue.h"
#include "platform/printoem.h"
#include "testing/fake_driver.h"

#include <string>
#include <vector>

namespace klv::testing {

class TestDevice {
public:
    // The block is built directly over driverFunctions, as EnablePDEV
    // builds it.
    explicit TestDevice(std::vector<DRVFN> driverFunctions = {});
    ~TestDevice();
    TestDevice(const TestDevice&) = delete;
    TestDevice& operator=(const TestDevice&) = delete;

    // Frees the block and enables the device again through the plug-in
    // object's EnablePDEV, announcing `count` driver functions (all of
    // them by default). The device keeps a reference to the plug-in and
    // disables itself through it when destroyed.
    static constexpr ULONG kAllFunctions = ~0u;
    HRESULT EnableThrough(IPrintOemPS* plugin, std::vector<DRVFN> driverFunctions,
                          ULONG count = kAllFunctions);

    DeviceHookState* HookState() { return DeviceStateOf(&devobj); }

    BYTE* Settings() { return settings_; }
    void SetShort(DWORD offset, short value);
    void SetWide(DWORD offset, const std::u16string& text); // with its terminator
    std::u16string Wide(DWORD offset) const;                // up to the terminator

    // Runs one injection point and returns what it wrote, one string a call.
    std::vector<std::string> Inject(DWORD index);

    DEVOBJ devobj{};
    SURFOBJ surface{}; // a surface on this device
    host::JobQueue queue;
    FakeDriverHelper driver;

private:
    void Disable();

    std::vector<DRVFN> driverFunctions_;
    IPrintOemPS* enabledBy_ = nullptr;
    alignas(8) BYTE settings_[dm::kSize];
};

// The pieces one after another, as the printer receives them.
std::string Concat(const std::vector<std::string>& pieces);

} // namespace klv::testing
