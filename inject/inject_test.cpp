// The dispatcher: which injection points write, and how.
#include "devmode/layout.h"
#include "inject/inject.h"
#include "module/plugin.h"
#include "testing/test_device.h"

#include <gtest/gtest.h>

namespace {

using klv::testing::TestDevice;
namespace dm = klv::dm;

const std::string kInvocation = "userdict /DrawWaterMark get exec\r\n\r\n";

TEST(Dispatch, UnservedIndicesWriteNothing) {
    TestDevice device;
    device.SetShort(dm::kSWatermarkOn, 1);
    device.SetShort(dm::kSFullPage, 1);
    device.SetShort(dm::kSFlip, 1);
    for (DWORD index : {0u, 1u, 2u, 10u, 12u, 13u, 17u, 18u, 100u, 102u, 103u, 200u, 0xFFFFFFFFu})
        EXPECT_TRUE(device.Inject(index).empty()) << "index " << index;
}

TEST(Dispatch, CommandAlwaysStoresZeroAndSucceeds) {
    TestDevice device;
    klv::testing::FakeDriverUnknown driver(&device.driver);
    klv::RenderPlugin* plugin = klv::RenderPlugin::Create();
    ASSERT_EQ(plugin->PublishDriverInterface(&driver), S_OK);
    device.SetShort(dm::kSWatermarkOn, 1);
    device.driver.writeResult = E_FAIL; // the driver refuses every write
    for (DWORD index : {0u, 11u, 14u, 15u, 16u, 101u, 300u}) {
        DWORD result = 0xFFFFFFFF;
        EXPECT_EQ(plugin->Command(&device.devobj, index, nullptr, 0, &result), S_OK);
        EXPECT_EQ(result, 0u);
    }
    plugin->Release();
}

TEST(Dispatch, MissingHelperOrSettingsWritesAndReadsNothing) {
    TestDevice device;
    device.SetShort(dm::kSWatermarkOn, 1);
    device.SetWide(dm::kSzJobName, u"");
    for (DWORD index : {11u, 14u, 15u, 16u, 101u}) {
        EXPECT_EQ(klv::InjectPostScript(&device.devobj, index, nullptr, 0, nullptr), 0u);
        DEVOBJ noSettings = device.devobj;
        noSettings.pOEMDM = nullptr;
        EXPECT_EQ(klv::InjectPostScript(&noSettings, index, nullptr, 0, &device.driver), 0u);
        EXPECT_EQ(klv::InjectPostScript(nullptr, index, nullptr, 0, &device.driver), 0u);
    }
    EXPECT_TRUE(device.driver.writes.empty());
    EXPECT_EQ(device.queue.EnumJobsCalls(), 0);
    EXPECT_EQ(device.Wide(dm::kSzJobName), u""); // the ticket did not fill it in
}

TEST(Dispatch, WatermarkInvocationOnEveryPage) {
    struct Case {
        short watermarkOn;
        size_t writes;
    };
    for (const Case c : {Case{0, 0}, Case{1, 1}, Case{-1, 1}, Case{2, 1}}) {
        TestDevice device;
        device.SetShort(dm::kSWatermarkOn, c.watermarkOn);
        for (int page = 0; page < 3; ++page) {
            const auto writes = device.Inject(PSINJECT_BEGINPAGESETUP);
            ASSERT_EQ(writes.size(), c.writes) << "switch " << c.watermarkOn;
            if (c.writes != 0) {
                EXPECT_EQ(writes[0], kInvocation); // the bytes before the resource's zero byte
            }
        }
    }
}

TEST(Dispatch, DataAndSizeArePassedOver) {
    TestDevice device;
    device.SetShort(dm::kSWatermarkOn, 1);
    char data[8] = {};
    for (DWORD index : {11u, 14u, 15u, 16u, 101u}) {
        const auto plain = device.Inject(index);
        device.driver.writes.clear();
        klv::InjectPostScript(&device.devobj, index, data, sizeof(data), &device.driver);
        EXPECT_EQ(device.driver.writes, plain) << "index " << index;
    }
}

TEST(Dispatch, FailingWritesDoNotStopTheRest) {
    TestDevice device;
    device.SetShort(dm::kSFullPage, 1);
    device.SetShort(dm::kSWatermarkOn, 1);
    device.driver.writeResult = E_FAIL;
    EXPECT_EQ(device.Inject(PSINJECT_BEGINPROLOG).size(), 3u);
    device.SetWide(dm::kSzJobName, u"Q3");
    device.SetWide(dm::kSzJobPassword, u"");
    EXPECT_EQ(device.Inject(PSINJECT_BEGINSETUP).size(), 7u);
    EXPECT_EQ(device.Inject(PSINJECT_COMMENTS).size(), 1u);
}

} // namespace
