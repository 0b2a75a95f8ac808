// The shared library loaded the way the driver loads the DLL: through its
// two exported entry points only.
#include "platform/loader.h"
#include "platform/printoem.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <memory>
#include <string>

namespace {

TEST(SharedLibrary, LoadsCreatesAndUnloads) {
    klv::platform::LoadedPlugin library(KLVPS_LIBRARY_PATH);
    ASSERT_TRUE(library.Ok()) << library.Error();
    EXPECT_NE(library.Module(), nullptr);

    void* object = nullptr;
    ASSERT_EQ(library.getClassObject(klv::kClsidOemRender, klv::kIidClassFactory, &object), S_OK);
    auto* factory = static_cast<IClassFactory*>(object);
    void* created = nullptr;
    ASSERT_EQ(factory->CreateInstance(nullptr, klv::kIidPrintOemPS, &created), S_OK);
    factory->Release();
    auto* plugin = static_cast<IPrintOemPS*>(created);

    DWORD value = 0;
    DWORD needed = 0;
    EXPECT_EQ(plugin->GetInfo(OEMGI_GETSIGNATURE, &value, sizeof(value), &needed), S_OK);
    EXPECT_EQ(value, 0x4B4C564Fu);
    EXPECT_EQ(plugin->GetInfo(OEMGI_GETVERSION, &value, sizeof(value), &needed), S_OK);
    EXPECT_EQ(value, 2u);

    EXPECT_EQ(library.canUnloadNow(), S_FALSE);
    EXPECT_EQ(plugin->Release(), 0u);
    EXPECT_EQ(library.canUnloadNow(), S_OK);
}

// The library's dynamic symbol table holds the two entry points, the
// status record classes and the host's trace entry point, nothing else of
// the plug-in.
TEST(SharedLibrary, ExportsOnlyTheEntryPointsAndStatusClasses) {
    const std::string command = std::string("nm -D --defined-only -C ") + KLVPS_LIBRARY_PATH;
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    ASSERT_NE(pipe, nullptr);
    std::array<char, 512> line{};
    int entryPoints = 0;
    int traceEntries = 0;
    while (std::fgets(line.data(), line.size(), pipe.get()) != nullptr) {
        const std::string symbol(line.data());
        if (symbol.find("DllGetClassObject") != std::string::npos ||
            symbol.find("DllCanUnloadNow") != std::string::npos) {
            ++entryPoints;
            continue;
        }
        if (symbol.find(" KlvpsSetTraceSink") != std::string::npos) {
            ++traceEntries;
            continue;
        }
        const bool status = symbol.find("Status") != std::string::npos;
        EXPECT_TRUE(status) << "unexpected export: " << symbol;
    }
    EXPECT_EQ(entryPoints, 2);
    EXPECT_EQ(traceEntries, 1);
}

} // namespace
