#include "testing/test_device.h"

#include "devmode/devmode.h"
#include "devmode/layout.h"
#include "hooks/hooks.h"
#include "inject/inject.h"

#include <gtest/gtest.h>

#include <cstring>

namespace klv::testing {

TestDevice::TestDevice() {
    std::memset(settings_, 0, sizeof(settings_));
    OEMDMPARAM param{};
    param.cbSize = sizeof(param);
    param.pOEMDMOut = settings_;
    param.cbBufSize = sizeof(settings_);
    HandleDevMode(OEMDM_DEFAULT, &param);

    devobj.dwSize = sizeof(devobj);
    devobj.hPrinter = queue.Handle();
    devobj.hOEM = ThisModule();
    devobj.pOEMDM = settings_;
    DRVENABLEDATA none{};
    devobj.pdevOEM = BuildDeviceHookState(&devobj, nullptr, 0, nullptr, 0, nullptr, 0, nullptr, &none);
}

TestDevice::~TestDevice() {
    FreeDeviceHookState(&devobj);
}

void TestDevice::SetShort(DWORD offset, short value) {
    dm::PutS16(settings_, offset, value);
}

void TestDevice::SetWide(DWORD offset, const std::u16string& text) {
    for (size_t i = 0; i <= text.size(); ++i)
        dm::PutU16(settings_, offset + static_cast<DWORD>(2 * i), i < text.size() ? text[i] : 0);
}

std::u16string TestDevice::Wide(DWORD offset) const {
    std::u16string text;
    for (DWORD at = offset; at + 1 < sizeof(settings_) && dm::U16(settings_, at) != 0; at += 2)
        text.push_back(static_cast<char16_t>(dm::U16(settings_, at)));
    return text;
}

std::vector<std::string> TestDevice::Inject(DWORD index) {
    driver.writes.clear();
    driver.writeDevices.clear();
    EXPECT_EQ(InjectPostScript(&devobj, index, nullptr, 0, &driver), 0u);
    return driver.writes;
}

std::string Concat(const std::vector<std::string>& writes) {
    std::string all;
    for (const std::string& w : writes)
        all += w;
    return all;
}

} // namespace klv::testing
