// A device as the driver sets it up for the plug-in: a private device mode
// with its defaults, the plug-in's per-device block, a print queue and a
// driver helper that records every write.
#pragma once

#include "platform/host/job_queue.h"
#include "platform/printoem.h"
#include "testing/fake_driver.h"

#include <string>
#include <vector>

namespace klv::testing {

class TestDevice {
public:
    TestDevice();
    ~TestDevice();
    TestDevice(const TestDevice&) = delete;
    TestDevice& operator=(const TestDevice&) = delete;

    BYTE* Settings() { return settings_; }
    void SetShort(DWORD offset, short value);
    void SetWide(DWORD offset, const std::u16string& text); // with its terminator
    std::u16string Wide(DWORD offset) const;                // up to the terminator

    // Runs one injection point and returns what it wrote, one string a call.
    std::vector<std::string> Inject(DWORD index);

    DEVOBJ devobj{};
    host::JobQueue queue;
    FakeDriverHelper driver;

private:
    alignas(8) BYTE settings_[1768];
};

std::string Concat(const std::vector<std::string>& writes);

} // namespace klv::testing
