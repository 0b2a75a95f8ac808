// Conformance tests of the built DLL, run on Windows or under Wine: the
// module is loaded by name and driven only through what it exports, as the
// driver does. Prints one line per failure and a closing count.
#include "hooks/hook_list.h"
#include "module/dll_conformance_checks.h"
#include "platform/printoem.h"

#include <cstdio>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

namespace {

int gPassed = 0;
int gFailed = 0;

#define ok(condition, ...)                                                                                   \
    do {                                                                                                     \
        if (condition) {                                                                                     \
            ++gPassed;                                                                                       \
        } else {                                                                                             \
            ++gFailed;                                                                                       \
            std::printf("%s:%d: Test failed: ", __FILE__, __LINE__);                                         \
            std::printf(__VA_ARGS__);                                                                        \
            std::printf("\n");                                                                               \
        }                                                                                                    \
    } while (0)

// The driver's helper: collects what the plug-in writes.
class Helper final : public IPrintOemDriverPS {
public:
    std::vector<std::string> writes;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (IsEqualGUID(riid, klv::kIidPrintOemDriverPS) || IsEqualGUID(riid, klv::kIidUnknown)) {
            *ppv = static_cast<IPrintOemDriverPS*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++refs); }
    ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--refs); }
    HRESULT STDMETHODCALLTYPE DrvGetDriverSetting(PVOID, PCSTR, PVOID, DWORD, PDWORD, PDWORD) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE DrvWriteSPBuf(PDEVOBJ, PVOID buffer, DWORD size, DWORD* written) override {
        writes.emplace_back(static_cast<const char*>(buffer), size);
        *written = size;
        return S_OK;
    }
    LONG refs = 1;
};

using GetClassObjectFn = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
using CanUnloadNowFn = HRESULT(WINAPI*)();

// The driver's own DrvBitBlt: remembers that it was reached.
int gBitBltCalls = 0;
BOOL APIENTRY DriverBitBlt(SURFOBJ*, SURFOBJ*, SURFOBJ*, CLIPOBJ*, XLATEOBJ*, RECTL*, POINTL*, POINTL*,
                           BRUSHOBJ*, POINTL*, ROP4 rop) {
    ++gBitBltCalls;
    return rop == 0xCCCC ? TRUE : FALSE;
}

// The hooked function numbers, in hook table order.
#define KLV_INDEX_OF(Name, index, position, failure) index,
const ULONG kHookedIndices[] = {KLV_HOOKED_DDI_FUNCTIONS(KLV_INDEX_OF)};
#undef KLV_INDEX_OF
static_assert(std::size(kHookedIndices) == klv::kHookCount);

std::string Joined(const std::vector<std::string>& writes) {
    std::string all;
    for (const std::string& w : writes)
        all += w;
    return all;
}

void TestResources(HMODULE module) {
    struct Case {
        WORD id;
        DWORD size;
    };
    for (const Case c : {Case{1, 809}, Case{2, 39}}) {
        HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(c.id), MAKEINTRESOURCEW(0x5053));
        ok(found != nullptr, "resource %u not found", c.id);
        if (found == nullptr)
            continue;
        ok(SizeofResource(module, found) == c.size, "resource %u has %lu bytes", c.id,
           static_cast<unsigned long>(SizeofResource(module, found)));
        const char* bytes = static_cast<const char*>(LockResource(LoadResource(module, found)));
        if (c.id == 2)
            ok(std::memcmp(bytes, "userdict /DrawWaterMark get exec\r\n\r\n\0\r\n", 39) == 0,
               "invocation bytes");
        else
            ok(std::memcmp(bytes + 809 - 5, "\r\n \r\n", 5) == 0, "template ends with its two last lines");
    }
}

void TestStatusExports(HMODULE module) {
    const bool wide = sizeof(void*) == 8;
    const char* copyName = wide ? "??0CTrayStatus@@QEAA@AEBV0@@Z" : "??0CTrayStatus@@QAE@ABV0@@Z";
    void* vftable = reinterpret_cast<void*>(GetProcAddress(module, "??_7CTrayStatus@@6B@"));
    FARPROC copy = GetProcAddress(module, copyName);
    ok(vftable != nullptr && copy != nullptr, "status class exports missing");
    ok(GetProcAddress(module, "??4CConsumablesStatus@@QEAAAEAV0@AEBV0@@Z") != nullptr || !wide,
       "assignment export missing");
    if (vftable == nullptr || copy == nullptr || !wide)
        return;
    // Copy a record through the exported copy constructor, as a module built
    // with the platform's compiler does: on 64 bits 'this' is the first argument.
    alignas(8) unsigned char source[1024] = {};
    alignas(8) unsigned char target[1024] = {};
    std::memset(source + sizeof(void*), 0x5A, 64);
    auto construct = KLV_FUNCTION_CAST(void* (*)(void*, const void*), copy);
    construct(target, source);
    void* table = nullptr;
    std::memcpy(&table, target, sizeof(table));
    ok(table == vftable, "copied object's table %p is not the exported table %p", table, vftable);
    ok(std::memcmp(target + sizeof(void*), source + sizeof(void*), 64) == 0, "members copied");
}

void TestJob(IPrintOemPS* plugin, HMODULE module) {
    Helper helper;
    ok(plugin->PublishDriverInterface(&helper) == S_OK, "publish");

    OEMDMPARAM param{};
    ok(plugin->DevMode(OEMDM_SIZE, &param) == S_OK && param.cbBufSize == 1768, "size %lu",
       static_cast<unsigned long>(param.cbBufSize));
    std::vector<BYTE> settings(1768, 0xFF);
    param.pOEMDMOut = settings.data();
    ok(plugin->DevMode(OEMDM_DEFAULT, &param) == S_OK, "defaults");
    DWORD header[3];
    std::memcpy(header, settings.data(), sizeof(header));
    ok(header[0] == 1768 && header[1] == 0x4B4C564F && header[2] == 2, "default header");

    DRVENABLEDATA table{};
    ok(plugin->EnableDriver(0x00030101, sizeof(table), &table) == S_OK, "enable driver");
    ok(table.iDriverVersion == PRINTER_OEMINTF_VERSION && table.c == klv::kHookCount,
       "hook table %lu entries", static_cast<unsigned long>(table.c));
    for (ULONG i = 0; i < table.c && i < klv::kHookCount; ++i)
        ok(table.pdrvfn[i].iFunc == kHookedIndices[i] && table.pdrvfn[i].pfn != nullptr,
           "hook table position %lu: function %lu", static_cast<unsigned long>(i),
           static_cast<unsigned long>(table.pdrvfn[i].iFunc));

    DRVFN driverFunctions[] = {{INDEX_DrvBitBlt, KLV_FUNCTION_CAST(PFN, &DriverBitBlt)}};
    DRVENABLEDATA driver{0x00030101, 1, driverFunctions};
    DEVOBJ devobj{};
    devobj.dwSize = sizeof(devobj);
    devobj.hOEM = module;
    devobj.pOEMDM = settings.data();
    GDIINFO gdi{};
    PDEVOEM state = nullptr;
    ok(plugin->EnablePDEV(&devobj, nullptr, 0, nullptr, sizeof(gdi), &gdi, 0, nullptr, &driver, &state) ==
           S_OK,
       "enable device");
    devobj.pdevOEM = state;

    // The engine calls the hooked DrvBitBlt; the hook forwards to the driver.
    PFN_DrvBitBlt hook = nullptr;
    for (ULONG i = 0; i < table.c; ++i)
        if (table.pdrvfn[i].iFunc == INDEX_DrvBitBlt)
            hook = KLV_FUNCTION_CAST(PFN_DrvBitBlt, table.pdrvfn[i].pfn);
    SURFOBJ surface{};
    surface.dhpdev = reinterpret_cast<DHPDEV>(&devobj);
    ok(hook != nullptr &&
           hook(&surface, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                0xCCCC) == TRUE &&
           gBitBltCalls == 1,
       "bit block transfer forwarded");

    settings[710] = 1; // watermark on
    settings[536] = 1; // full page
    settings[537] = 0;
    settings[534] = 1; // flip
    settings[535] = 0;
    settings[538] = 'Q'; // job name "Q3"
    settings[539] = 0;
    settings[540] = '3';
    settings[541] = 0;
    settings[542] = 0;
    settings[543] = 0;
    settings[700] = 0; // no password
    settings[701] = 0;
    struct Case {
        DWORD index;
        std::vector<size_t> sizes;
    };
    const Case cases[] = {
        {PSINJECT_COMMENTS, {334}}, // no spooler handle: both names empty
        {PSINJECT_BEGINPROLOG, {188, 178, 826}},
        {PSINJECT_ENDPROLOG, {33}},
        {PSINJECT_BEGINSETUP, {29, 29, 7, 25, 2, 2, 7}},
        {PSINJECT_BEGINPAGESETUP, {36}},
        {12, {}},
    };
    for (const Case& c : cases) {
        helper.writes.clear();
        DWORD result = 0xFFFFFFFF;
        ok(plugin->Command(&devobj, c.index, nullptr, 0, &result) == S_OK && result == 0, "command %lu",
           static_cast<unsigned long>(c.index));
        std::vector<size_t> sizes;
        for (const std::string& w : helper.writes)
            sizes.push_back(w.size());
        ok(sizes == c.sizes, "index %lu: %u writes", static_cast<unsigned long>(c.index),
           static_cast<unsigned>(sizes.size()));
        if (c.index == PSINJECT_BEGINPAGESETUP)
            ok(Joined(helper.writes) == "userdict /DrawWaterMark get exec\r\n\r\n", "invocation");
        if (c.index == PSINJECT_BEGINSETUP)
            ok(Joined(helper.writes).find("<5133>") != std::string::npos, "job name in hexadecimal");
    }

    ok(plugin->DisablePDEV(&devobj) == S_OK, "disable device");
    ok(plugin->DisableDriver() == S_OK && helper.refs == 1, "helper released");
}

} // namespace

int main() {
    HMODULE module = LoadLibraryW(L"klvps.dll");
    ok(module != nullptr, "klvps.dll not loaded (error %lu)", GetLastError());
    if (module == nullptr) {
        std::printf("dll: %d passed, %d failed\n", gPassed, gFailed);
        return 1;
    }
    auto getClassObject = KLV_FUNCTION_CAST(GetClassObjectFn, GetProcAddress(module, "DllGetClassObject"));
    auto canUnloadNow = KLV_FUNCTION_CAST(CanUnloadNowFn, GetProcAddress(module, "DllCanUnloadNow"));
    ok(getClassObject != nullptr && canUnloadNow != nullptr, "entry points exported undecorated");
    if (getClassObject != nullptr && canUnloadNow != nullptr) {
        void* object = nullptr;
        ok(getClassObject(klv::kIidPrintOemPS, klv::kIidClassFactory, &object) == CLASS_E_CLASSNOTAVAILABLE,
           "other class refused");
        ok(getClassObject(klv::kClsidOemRender, klv::kIidClassFactory, &object) == S_OK, "class object");
        auto* factory = static_cast<IClassFactory*>(object);
        void* created = nullptr;
        ok(factory->CreateInstance(nullptr, klv::kIidPrintOemPS, &created) == S_OK, "plug-in object");
        factory->Release();
        auto* plugin = static_cast<IPrintOemPS*>(created);
        DWORD value = 0;
        DWORD needed = 0;
        ok(plugin->GetInfo(OEMGI_GETSIGNATURE, &value, 4, &needed) == S_OK && value == 0x4B4C564F,
           "signature");
        ok(plugin->GetInfo(OEMGI_GETVERSION, &value, 4, &needed) == S_OK && value == 2, "version");
        SetLastError(0);
        ok(plugin->GetInfo(OEMGI_GETSIGNATURE, &value, 3, &needed) == E_FAIL &&
               GetLastError() == ERROR_INSUFFICIENT_BUFFER && needed == 4,
           "short buffer");
        ok(canUnloadNow() == S_FALSE, "busy while an object lives");
        TestJob(plugin, module);
        ok(plugin->Release() == 0, "last release");
        ok(canUnloadNow() == S_OK, "unloadable");
    }
    TestResources(module);
    TestStatusExports(module);
    klv::conformance::CheckVersionResource(module, gPassed, gFailed);
    klv::conformance::CheckSpoolerJobs(module, gPassed, gFailed);
    klv::conformance::CheckCallerSide32(module, gPassed, gFailed);
    FreeLibrary(module);
    std::printf("dll: %d passed, %d failed\n", gPassed, gFailed);
    return gFailed == 0 ? 0 : 1;
}
