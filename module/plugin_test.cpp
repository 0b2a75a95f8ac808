// The plug-in object: interfaces, GetInfo, the driver's helper interface.
#include "module/plugin.h"
#include "testing/fake_driver.h"

#include <gtest/gtest.h>

#include <memory>
#include <tuple>

namespace {

using klv::RenderPlugin;

struct Releaser {
    void operator()(RenderPlugin* plugin) const { plugin->Release(); }
};
using PluginPtr = std::unique_ptr<RenderPlugin, Releaser>;

TEST(RenderPlugin, QueryInterface) {
    PluginPtr plugin(RenderPlugin::Create());
    for (const IID* iid : {&klv::kIidUnknown, &klv::kIidPrintOemPS}) {
        void* object = nullptr;
        EXPECT_EQ(plugin->QueryInterface(*iid, &object), S_OK);
        EXPECT_EQ(object, static_cast<IPrintOemPS*>(plugin.get()));
        EXPECT_EQ(plugin->Release(), 1u);
    }
    for (const IID* iid : {&klv::kIidClassFactory, &klv::kIidPrintOemDriverPS}) {
        void* object = reinterpret_cast<void*>(0x1);
        EXPECT_EQ(plugin->QueryInterface(*iid, &object), E_NOINTERFACE);
        EXPECT_EQ(object, nullptr);
    }
}

TEST(RenderPlugin, GetInfo) {
    PluginPtr plugin(RenderPlugin::Create());
    constexpr DWORD kUntouched = 0xCCCCCCCC; // not written; for the last error, not set
    struct Case {
        DWORD mode;
        bool withBuffer;
        DWORD size;
        HRESULT result;
        DWORD needed;
        DWORD lastError;
        DWORD value; // written to the buffer
    };
    const Case cases[] = {
        {OEMGI_GETSIGNATURE, true, 4, S_OK, 4, kUntouched, 0x4B4C564F},
        {OEMGI_GETSIGNATURE, true, 64, S_OK, 4, kUntouched, 0x4B4C564F},
        {OEMGI_GETVERSION, true, 4, S_OK, 4, kUntouched, 2},
        {OEMGI_GETSIGNATURE, true, 3, E_FAIL, 4, ERROR_INSUFFICIENT_BUFFER, kUntouched},
        {OEMGI_GETVERSION, false, 4, E_FAIL, 4, ERROR_INSUFFICIENT_BUFFER, kUntouched},
        {OEMGI_GETINTERFACEVERSION, true, 4, E_FAIL, kUntouched, ERROR_INVALID_PARAMETER, kUntouched},
        {OEMGI_GETPUBLISHERINFO, true, 64, E_FAIL, 8, kUntouched, kUntouched},
        {0, true, 4, E_FAIL, kUntouched, ERROR_INVALID_PARAMETER, kUntouched},
        {5, true, 4, E_FAIL, kUntouched, ERROR_INVALID_PARAMETER, kUntouched},
    };
    for (const auto& [mode, withBuffer, size, result, needed, lastError, value] : cases) {
        SCOPED_TRACE(testing::Message() << "mode " << mode << ", size " << size << ", buffer " << withBuffer);
        DWORD buffer = kUntouched;
        DWORD reported = kUntouched;
        SetLastError(kUntouched);
        EXPECT_EQ(plugin->GetInfo(mode, withBuffer ? &buffer : nullptr, size, &reported), result);
        EXPECT_EQ(reported, needed);
        EXPECT_EQ(GetLastError(), lastError);
        EXPECT_EQ(buffer, value);
        // Without somewhere to put the size needed, every mode fails.
        SetLastError(0);
        buffer = kUntouched;
        EXPECT_EQ(plugin->GetInfo(mode, &buffer, size, nullptr), E_FAIL);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
        EXPECT_EQ(buffer, kUntouched);
    }
}

TEST(RenderPlugin, DriverHelper) {
    klv::testing::FakeDriverHelper helper; // outlives the plug-in, which releases it last
    PluginPtr plugin(RenderPlugin::Create());
    klv::testing::FakeDriverUnknown refusing(&helper);
    refusing.queryResult = E_NOINTERFACE;
    EXPECT_EQ(plugin->PublishDriverInterface(&refusing), E_FAIL);
    EXPECT_EQ(plugin->PublishDriverInterface(nullptr), E_FAIL);
    EXPECT_EQ(helper.refCount, 1);
    // Without a helper Command still stores 0 and succeeds.
    DEVOBJ devobj{};
    for (DWORD index : {0u, 11u, 14u, 16u, 101u}) {
        DWORD result = 0xFFFFFFFF;
        EXPECT_EQ(plugin->Command(&devobj, index, nullptr, 0, &result), S_OK);
        EXPECT_EQ(result, 0u);
        EXPECT_EQ(plugin->Command(&devobj, index, nullptr, 0, nullptr), S_OK);
    }
    // The first publication that succeeds is queried, and only that one.
    klv::testing::FakeDriverUnknown driver(&helper);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(plugin->PublishDriverInterface(&driver), S_OK);
        EXPECT_EQ(driver.queries, 1);
        EXPECT_EQ(helper.refCount, 2);
    }
    // DisableDriver drops the helper; a later publication queries again.
    EXPECT_EQ(plugin->DisableDriver(), S_OK);
    EXPECT_EQ(helper.refCount, 1);
    EXPECT_EQ(plugin->PublishDriverInterface(&driver), S_OK);
    EXPECT_EQ(driver.queries, 2);
    plugin.reset();
    EXPECT_EQ(helper.refCount, 1); // destruction released it
}

} // namespace
