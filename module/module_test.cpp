// The module's entry points and its class object.
#include "module/counters.h"
#include "module/entry.h"
#include "platform/printoem.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {

const IID kIidOther = {0x12345678, 0x1111, 0x2222, {1, 2, 3, 4, 5, 6, 7, 8}};

IClassFactory* GetFactory() {
    void* object = nullptr;
    EXPECT_EQ(DllGetClassObject(klv::kClsidOemRender, klv::kIidClassFactory, &object), S_OK);
    return static_cast<IClassFactory*>(object);
}

TEST(ClassObject, OnlyTheRenderClassIsServed) {
    const CLSID otherClass = {0x6D6ABF26, 0x9F38, 0x11D1, {0x88, 0x2A, 0x00, 0xC0, 0x4F, 0xB9, 0x61, 0xED}};
    const auto& render = klv::kClsidOemRender;
    const std::tuple<const char*, const CLSID*, const IID*, HRESULT> cases[] = {
        {"class factory", &render, &klv::kIidClassFactory, S_OK},
        {"unknown", &render, &klv::kIidUnknown, S_OK},
        {"plug-in interface on the class object", &render, &klv::kIidPrintOemPS, E_NOINTERFACE},
        {"other interface", &render, &kIidOther, E_NOINTERFACE},
        {"other class, last byte differs", &otherClass, &klv::kIidClassFactory, CLASS_E_CLASSNOTAVAILABLE},
        {"interface id as class", &klv::kIidPrintOemPS, &klv::kIidClassFactory, CLASS_E_CLASSNOTAVAILABLE},
    };
    for (const auto& [name, clsid, iid, result] : cases) {
        SCOPED_TRACE(name);
        void* const sentinel = reinterpret_cast<void*>(0x1234);
        void* object = sentinel;
        EXPECT_EQ(DllGetClassObject(*clsid, *iid, &object), result);
        if (result == S_OK) {
            ASSERT_NE(object, nullptr);
            EXPECT_EQ(static_cast<IUnknown*>(object)->Release(), 0u); // the caller held the only reference
        } else {
            // A wrong class leaves the pointer alone; a wrong interface clears it.
            EXPECT_EQ(object, result == CLASS_E_CLASSNOTAVAILABLE ? sentinel : nullptr);
        }
    }
    // No place for the answer: refused, not written through.
    EXPECT_EQ(DllGetClassObject(render, klv::kIidClassFactory, nullptr), E_INVALIDARG);
    EXPECT_EQ(DllCanUnloadNow(), S_OK);
}

TEST(ClassObject, CreateInstanceRefusesAggregationAndOtherInterfaces) {
    IClassFactory* factory = GetFactory();
    void* object = reinterpret_cast<void*>(0x1);
    // The class object as an outer object: aggregation is refused.
    EXPECT_EQ(factory->CreateInstance(factory, klv::kIidPrintOemPS, &object), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(klv::gObjectCount, 0);
    for (const IID* iid : {&klv::kIidPrintOemPS, &klv::kIidUnknown}) {
        ASSERT_EQ(factory->CreateInstance(nullptr, *iid, &object), S_OK);
        EXPECT_EQ(klv::gObjectCount, 1);
        EXPECT_EQ(DllCanUnloadNow(), S_FALSE);
        EXPECT_EQ(static_cast<IUnknown*>(object)->Release(), 0u);
    }
    for (const IID* iid : {&klv::kIidClassFactory, &klv::kIidPrintOemDriverPS, &kIidOther}) {
        object = reinterpret_cast<void*>(0x1);
        EXPECT_EQ(factory->CreateInstance(nullptr, *iid, &object), E_NOINTERFACE);
        EXPECT_EQ(object, nullptr);
        EXPECT_EQ(klv::gObjectCount, 0); // the new object is destroyed again
    }
    // Objects outlive their factory.
    ASSERT_EQ(factory->CreateInstance(nullptr, klv::kIidPrintOemPS, &object), S_OK);
    factory->Release();
    EXPECT_EQ(DllCanUnloadNow(), S_FALSE);
    static_cast<IPrintOemPS*>(object)->Release();
    EXPECT_EQ(DllCanUnloadNow(), S_OK);
}

TEST(ClassObject, LocksKeepTheModuleLoaded) {
    IClassFactory* factory = GetFactory();
    // Unbalanced unlocks are not stopped: the count goes negative and keeps
    // the module loaded until it is balanced again.
    const std::tuple<BOOL, LONG, HRESULT> steps[] = {{TRUE, 1, S_FALSE},   {TRUE, 2, S_FALSE},
                                                     {FALSE, 1, S_FALSE},  {FALSE, 0, S_OK},
                                                     {FALSE, -1, S_FALSE}, {TRUE, 0, S_OK}};
    for (const auto& [lock, count, canUnload] : steps) {
        EXPECT_EQ(factory->LockServer(lock), S_OK);
        EXPECT_EQ(klv::gLockCount, count);
        EXPECT_EQ(DllCanUnloadNow(), canUnload);
    }
    factory->Release();
}

} // namespace
