#include "testing/test_device.h"

#include "devmode/devmode.h"
#include "hooks/hooks.h"
#include "inject/inject.h"

#include <gtest/gtest.h>

#include <cstring>

namespace klv::testing {

TestDevice::TestDevice(std::vector<DRVFN> driverFunctions) : driverFunctions_(std::move(driverFunctions)) {
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
    DRVENABLEDATA functions{PRINTER_OEMINTF_VERSION, static_cast<ULONG>(driverFunctions_.size()),
                            driverFunctions_.empty() ? nullptr : driverFunctions_.data()};
    devobj.pdevOEM = BuildDeviceHookState(&devobj, nullptr, 0, nullptr, 0, nullptr, 0, nullptr, &functions);
    surface.dhpdev = reinterpret_cast<DHPDEV>(&devobj);
}

TestDevice::~TestDevice() {
    Disable();
}

void TestDevice::Disable() {
    if (enabledBy_ != nullptr) {
        enabledBy_->DisablePDEV(&devobj); // frees the block, if any
        enabledBy_->Release();
        enabledBy_ = nullptr;
    } else {
        FreeDeviceHookState(&devobj);
    }
    devobj.pdevOEM = nullptr;
}

HRESULT TestDevice::EnableThrough(IPrintOemPS* plugin, std::vector<DRVFN> driverFunctions, ULONG count) {
    Disable();
    driverFunctions_ = std::move(driverFunctions);
    DRVENABLEDATA functions{PRINTER_OEMINTF_VERSION,
                            count == kAllFunctions ? static_cast<ULONG>(driverFunctions_.size()) : count,
                            driverFunctions_.empty() ? nullptr : driverFunctions_.data()};
    GDIINFO gdiInfo{};
    PDEVOEM devOem = reinterpret_cast<PDEVOEM>(0x1);
    plugin->AddRef();
    enabledBy_ = plugin;
    const HRESULT result = plugin->EnablePDEV(&devobj, nullptr, 0, nullptr, sizeof gdiInfo, &gdiInfo, 0,
                                              nullptr, &functions, &devOem);
    devobj.pdevOEM = devOem;
    return result;
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

std::string Concat(const std::vector<std::string>& pieces) {
    std::string all;
    for (const std::string& piece : pieces)
        all += piece;
    return all;
}

} // namespace klv::testing
