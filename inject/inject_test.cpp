// The dispatcher: which injection points write, and how.
#include "devmode/layout.h"
#include "inject/inject.h"
#include "module/plugin.h"
#include "testing/test_device.h"

#include <gtest/gtest.h>

namespace {

using klv::testing::TestDevice;
namespace dm = klv::dm;

TEST(Dispatch, MissingHelperOrSettingsWritesAndReadsNothing) {
    TestDevice device;
    device.SetShort(dm::kSWatermarkOn, 1);
    device.SetWide(dm::kSzJobName, u"");
    DEVOBJ noSettings = device.devobj;
    noSettings.pOEMDM = nullptr;
    for (DWORD index : {11u, 14u, 15u, 16u, 101u}) {
        EXPECT_EQ(klv::InjectPostScript(&device.devobj, index, nullptr, 0, nullptr), 0u);
        EXPECT_EQ(klv::InjectPostScript(&noSettings, index, nullptr, 0, &device.driver), 0u);
        EXPECT_EQ(klv::InjectPostScript(nullptr, index, nullptr, 0, &device.driver), 0u);
    }
    EXPECT_TRUE(device.driver.writes.empty());
    EXPECT_EQ(device.queue.EnumJobsCalls(), 0);
    EXPECT_EQ(device.Wide(dm::kSzJobName), u""); // the ticket did not fill it in
}

TEST(Dispatch, WatermarkInvocationOnEveryPage) {
    for (short on : {0, 1, -1}) {
        TestDevice device;
        device.SetShort(dm::kSWatermarkOn, on);
        const std::vector<std::string> expected(on != 0 ? 1 : 0, "userdict /DrawWaterMark get exec\r\n\r\n");
        for (int page = 0; page < 3; ++page)
            EXPECT_EQ(device.Inject(PSINJECT_BEGINPAGESETUP), expected) << "switch " << on;
    }
}

// Every switch on and every write refused: Command still stores 0 and
// succeeds, each index writes its count in full, and data and size change
// nothing.
TEST(Dispatch, WritesOfEachIndexThroughCommand) {
    TestDevice device;
    klv::testing::FakeDriverUnknown driver(&device.driver);
    klv::RenderPlugin* plugin = klv::RenderPlugin::Create();
    ASSERT_EQ(plugin->PublishDriverInterface(&driver), S_OK);
    for (DWORD offset : {dm::kSWatermarkOn, dm::kSFullPage, dm::kSFlip})
        device.SetShort(offset, 1);
    device.SetWide(dm::kSzJobName, u"Q3");
    device.SetWide(dm::kSzJobPassword, u"");
    device.driver.writeResult = E_FAIL;
    char data[8] = {};
    const std::pair<DWORD, size_t> cases[] = {{0, 0},   {1, 0},   {11, 1}, {12, 0},  {14, 3},
                                              {15, 1},  {16, 7},  {17, 0}, {100, 0}, {101, 1},
                                              {102, 0}, {200, 0}, {300, 0}};
    for (const auto& [index, count] : cases) {
        std::vector<std::string> writes[2];
        for (DWORD size : {0u, 8u}) {
            device.driver.writes.clear();
            DWORD result = 0xFFFFFFFF;
            EXPECT_EQ(plugin->Command(&device.devobj, index, size != 0 ? data : nullptr, size, &result),
                      S_OK);
            EXPECT_EQ(result, 0u);
            writes[size / 8] = device.driver.writes;
        }
        EXPECT_EQ(writes[0].size(), count) << "index " << index;
        EXPECT_EQ(writes[1], writes[0]) << "index " << index;
    }
    plugin->Release();
}

} // namespace
