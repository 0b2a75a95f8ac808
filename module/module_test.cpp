// The module's entry points and its class object.
#include "module/counters.h"
#include "module/entry.h"
#include "platform/printoem.h"

#include <gtest/gtest.h>

namespace {

using klv::gLockCount;
using klv::gObjectCount;

const IID kIidOther = {0x12345678, 0x1111, 0x2222, {1, 2, 3, 4, 5, 6, 7, 8}};

IClassFactory* GetFactory() {
    void* object = nullptr;
    EXPECT_EQ(DllGetClassObject(klv::kClsidOemRender, klv::kIidClassFactory, &object), S_OK);
    return static_cast<IClassFactory*>(object);
}

TEST(ClassObject, OnlyTheRenderClassIsServed) {
    struct Case {
        const char* name;
        const CLSID* clsid;
        const IID* iid;
        HRESULT result;
        bool gotObject;
    };
    const CLSID otherClass = {0x6D6ABF26, 0x9F38, 0x11D1, {0x88, 0x2A, 0x00, 0xC0, 0x4F, 0xB9, 0x61, 0xED}};
    const Case cases[] = {
        {"class factory", &klv::kClsidOemRender, &klv::kIidClassFactory, S_OK, true},
        {"unknown", &klv::kClsidOemRender, &klv::kIidUnknown, S_OK, true},
        {"plug-in interface on the class object", &klv::kClsidOemRender, &klv::kIidPrintOemPS, E_NOINTERFACE,
         false},
        {"other interface", &klv::kClsidOemRender, &kIidOther, E_NOINTERFACE, false},
        {"other class, last byte differs", &otherClass, &klv::kIidClassFactory, CLASS_E_CLASSNOTAVAILABLE,
         false},
        {"interface id as class", &klv::kIidPrintOemPS, &klv::kIidClassFactory, CLASS_E_CLASSNOTAVAILABLE,
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        void* sentinel = reinterpret_cast<void*>(0x1234);
        void* object = sentinel;
        EXPECT_EQ(DllGetClassObject(*c.clsid, *c.iid, &object), c.result);
        if (c.gotObject) {
            ASSERT_NE(object, nullptr);
            EXPECT_EQ(static_cast<IUnknown*>(object)->Release(), 0u); // the caller held the only reference
        } else if (c.result == CLASS_E_CLASSNOTAVAILABLE) {
            EXPECT_EQ(object, sentinel); // untouched
        } else {
            EXPECT_EQ(object, nullptr);
        }
    }
    EXPECT_EQ(DllCanUnloadNow(), S_OK);
}

TEST(ClassObject, AggregationIsRefused) {
    IClassFactory* factory = GetFactory();
    IUnknown* outer = factory;
    void* object = reinterpret_cast<void*>(0x1);
    const LONG before = gObjectCount;
    EXPECT_EQ(factory->CreateInstance(outer, klv::kIidPrintOemPS, &object), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(gObjectCount, before);
    factory->Release();
}

TEST(ClassObject, CreateInstanceServesTheTwoInterfacesOnly) {
    IClassFactory* factory = GetFactory();
    struct Case {
        const IID* iid;
        HRESULT result;
    };
    const Case cases[] = {{&klv::kIidPrintOemPS, S_OK},
                          {&klv::kIidUnknown, S_OK},
                          {&klv::kIidClassFactory, E_NOINTERFACE},
                          {&klv::kIidPrintOemDriverPS, E_NOINTERFACE},
                          {&kIidOther, E_NOINTERFACE}};
    for (const Case& c : cases) {
        void* object = reinterpret_cast<void*>(0x1);
        EXPECT_EQ(factory->CreateInstance(nullptr, *c.iid, &object), c.result);
        if (c.result == S_OK) {
            EXPECT_EQ(gObjectCount, 1);
            EXPECT_EQ(DllCanUnloadNow(), S_FALSE);
            EXPECT_EQ(static_cast<IUnknown*>(object)->Release(), 0u);
        } else {
            EXPECT_EQ(object, nullptr);
        }
        EXPECT_EQ(gObjectCount, 0); // a refused interface destroys the new object again
    }
    factory->Release();
}

TEST(ClassObject, LocksKeepTheModuleLoaded) {
    IClassFactory* factory = GetFactory();
    EXPECT_EQ(factory->LockServer(TRUE), S_OK);
    EXPECT_EQ(factory->LockServer(TRUE), S_OK);
    EXPECT_EQ(gLockCount, 2);
    EXPECT_EQ(DllCanUnloadNow(), S_FALSE);
    EXPECT_EQ(factory->LockServer(FALSE), S_OK);
    EXPECT_EQ(DllCanUnloadNow(), S_FALSE);
    EXPECT_EQ(factory->LockServer(FALSE), S_OK);
    EXPECT_EQ(DllCanUnloadNow(), S_OK);
    // Unbalanced unlocks are not stopped; the count goes negative and keeps
    // the module loaded until it is balanced again.
    EXPECT_EQ(factory->LockServer(FALSE), S_OK);
    EXPECT_EQ(gLockCount, -1);
    EXPECT_EQ(DllCanUnloadNow(), S_FALSE);
    EXPECT_EQ(factory->LockServer(TRUE), S_OK);
    EXPECT_EQ(DllCanUnloadNow(), S_OK);
    factory->Release();
}

TEST(ClassObject, ObjectsOutliveTheirFactory) {
    IClassFactory* factory = GetFactory();
    void* object = nullptr;
    ASSERT_EQ(factory->CreateInstance(nullptr, klv::kIidPrintOemPS, &object), S_OK);
    factory->Release();
    EXPECT_EQ(DllCanUnloadNow(), S_FALSE);
    static_cast<IPrintOemPS*>(object)->Release();
    EXPECT_EQ(DllCanUnloadNow(), S_OK);
}

} // namespace
