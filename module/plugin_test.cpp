// The plug-in object: interfaces, GetInfo, the driver's helper interface.
#include "module/counters.h"
#include "module/plugin.h"
#include "testing/fake_driver.h"

#include <gtest/gtest.h>

namespace {

using klv::RenderPlugin;
using klv::testing::FakeDriverHelper;
using klv::testing::FakeDriverUnknown;

struct PluginHolder {
    RenderPlugin* plugin = RenderPlugin::Create();
    ~PluginHolder() {
        if (plugin != nullptr)
            plugin->Release();
    }
};

TEST(RenderPlugin, QueryInterface) {
    PluginHolder h;
    struct Case {
        const IID* iid;
        HRESULT result;
    };
    const Case cases[] = {{&klv::kIidUnknown, S_OK},
                          {&klv::kIidPrintOemPS, S_OK},
                          {&klv::kIidClassFactory, E_NOINTERFACE},
                          {&klv::kIidPrintOemDriverPS, E_NOINTERFACE}};
    for (const Case& c : cases) {
        void* object = reinterpret_cast<void*>(0x1);
        EXPECT_EQ(h.plugin->QueryInterface(*c.iid, &object), c.result);
        if (c.result == S_OK) {
            EXPECT_EQ(object, static_cast<IPrintOemPS*>(h.plugin));
            EXPECT_EQ(h.plugin->Release(), 1u);
        } else {
            EXPECT_EQ(object, nullptr);
        }
    }
}

TEST(RenderPlugin, GetInfo) {
    PluginHolder h;
    constexpr DWORD kUntouched = 0xCCCCCCCC;
    struct Case {
        const char* name;
        DWORD mode;
        bool withBuffer;
        DWORD size;
        HRESULT result;
        DWORD needed;    // kUntouched: not written
        DWORD lastError; // kUntouched: not set
        DWORD value;     // kUntouched: buffer not written
    };
    const Case cases[] = {
        {"signature", OEMGI_GETSIGNATURE, true, 4, S_OK, 4, kUntouched, 0x4B4C564F},
        {"signature, large buffer", OEMGI_GETSIGNATURE, true, 64, S_OK, 4, kUntouched, 0x4B4C564F},
        {"version", OEMGI_GETVERSION, true, 4, S_OK, 4, kUntouched, 2},
        {"signature, 3 bytes", OEMGI_GETSIGNATURE, true, 3, E_FAIL, 4, ERROR_INSUFFICIENT_BUFFER, kUntouched},
        {"version, no buffer", OEMGI_GETVERSION, false, 4, E_FAIL, 4, ERROR_INSUFFICIENT_BUFFER, kUntouched},
        {"interface version", OEMGI_GETINTERFACEVERSION, true, 4, E_FAIL, kUntouched, ERROR_INVALID_PARAMETER,
         kUntouched},
        {"publisher info", OEMGI_GETPUBLISHERINFO, true, 64, E_FAIL, 8, kUntouched, kUntouched},
        {"mode 0", 0, true, 4, E_FAIL, kUntouched, ERROR_INVALID_PARAMETER, kUntouched},
        {"mode 5", 5, true, 4, E_FAIL, kUntouched, ERROR_INVALID_PARAMETER, kUntouched},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DWORD buffer = kUntouched;
        DWORD needed = kUntouched;
        SetLastError(kUntouched);
        EXPECT_EQ(h.plugin->GetInfo(c.mode, c.withBuffer ? &buffer : nullptr, c.size, &needed), c.result);
        EXPECT_EQ(needed, c.needed);
        EXPECT_EQ(GetLastError(), c.lastError);
        EXPECT_EQ(buffer, c.value);
    }
}

TEST(RenderPlugin, GetInfoWithoutNeededFailsInEveryMode) {
    PluginHolder h;
    for (DWORD mode : {0u, 1u, 2u, 3u, 4u, 5u}) {
        DWORD buffer = 0;
        SetLastError(0);
        EXPECT_EQ(h.plugin->GetInfo(mode, &buffer, sizeof(buffer), nullptr), E_FAIL);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
        EXPECT_EQ(buffer, 0u);
    }
}

TEST(RenderPlugin, PublishDriverInterfaceQueriesOnce) {
    FakeDriverHelper helper;
    PluginHolder h;
    FakeDriverUnknown driver(&helper);
    EXPECT_EQ(h.plugin->PublishDriverInterface(&driver), S_OK);
    EXPECT_EQ(driver.queries, 1);
    EXPECT_EQ(helper.refCount, 2);
    EXPECT_EQ(h.plugin->PublishDriverInterface(&driver), S_OK);
    EXPECT_EQ(driver.queries, 1);
    EXPECT_EQ(helper.refCount, 2);
    // DisableDriver drops the helper; a later publication queries again.
    EXPECT_EQ(h.plugin->DisableDriver(), S_OK);
    EXPECT_EQ(helper.refCount, 1);
    EXPECT_EQ(h.plugin->PublishDriverInterface(&driver), S_OK);
    EXPECT_EQ(driver.queries, 2);
    h.plugin->Release();
    h.plugin = nullptr;
    EXPECT_EQ(helper.refCount, 1); // destruction released it
}

TEST(RenderPlugin, FailedPublicationLeavesNoHelper) {
    FakeDriverHelper helper; // outlives the plug-in, which releases it last
    PluginHolder h;
    FakeDriverUnknown refusing(&helper);
    refusing.queryResult = E_NOINTERFACE;
    EXPECT_EQ(h.plugin->PublishDriverInterface(&refusing), E_FAIL);
    EXPECT_EQ(h.plugin->PublishDriverInterface(nullptr), E_FAIL);
    EXPECT_EQ(helper.refCount, 1);
    // A later publication that succeeds is taken.
    FakeDriverUnknown driver(&helper);
    EXPECT_EQ(h.plugin->PublishDriverInterface(&driver), S_OK);
    EXPECT_EQ(helper.refCount, 2);
}

TEST(RenderPlugin, CommandWithoutHelperStillSucceeds) {
    PluginHolder h;
    DWORD result = 0xFFFFFFFF;
    DEVOBJ devobj{};
    for (DWORD index : {0u, 11u, 14u, 15u, 16u, 101u}) {
        result = 0xFFFFFFFF;
        EXPECT_EQ(h.plugin->Command(&devobj, index, nullptr, 0, &result), S_OK);
        EXPECT_EQ(result, 0u);
        EXPECT_EQ(h.plugin->Command(&devobj, index, nullptr, 0, nullptr), S_OK);
    }
}

} // namespace
