// Conformance tests of the built DLL, run on Windows or under Wine: the
// module is loaded by name and driven only through what it exports, as the
// driver does. Prints one line per failure and a closing count
// (module/tests/conformance.h).
#include "devmode/layout.h"
#include "hooks/hook_list.h"
#include "module/tests/conformance.h"
#include "module/tests/dll_conformance_checks.h"
#include "module/tests/dll_recording_helper.h"
#include "platform/printoem.h"

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

namespace {

namespace dm = klv::dm;

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

using klv::conformance::RecordingHelper;

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
    RecordingHelper helper;
    ok(plugin->PublishDriverInterface(&helper) == S_OK, "publish");

    OEMDMPARAM param{};
    ok(plugin->DevMode(OEMDM_SIZE, &param) == S_OK && param.cbBufSize == dm::kSize, "size %lu",
       static_cast<unsigned long>(param.cbBufSize));
    std::vector<BYTE> settings(dm::kSize, 0xFF);
    param.pOEMDMOut = settings.data();
    ok(plugin->DevMode(OEMDM_DEFAULT, &param) == S_OK, "defaults");
    const BYTE* block = settings.data();
    ok(dm::U32(block, dm::kDwSize) == dm::kSize && dm::U32(block, dm::kDwSignature) == dm::kSignature &&
           dm::U32(block, dm::kDwVersion) == dm::kVersion,
       "default header");

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

    dm::PutS16(settings.data(), dm::kSWatermarkOn, 1);
    dm::PutS16(settings.data(), dm::kSFullPage, 1);
    dm::PutS16(settings.data(), dm::kSFlip, 1);
    const WCHAR jobName[] = KLV_W("Q3");
    for (DWORD i = 0; i < 3; ++i)
        dm::PutU16(settings.data(), dm::kSzJobName + 2 * i, jobName[i]);
    dm::PutU16(settings.data(), dm::kSzJobPassword, 0); // no password
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
            ok(helper.Joined() == "userdict /DrawWaterMark get exec\r\n\r\n", "invocation");
        if (c.index == PSINJECT_BEGINSETUP)
            ok(helper.Joined().find("<5133>") != std::string::npos, "job name in hexadecimal");
    }

    ok(plugin->DisablePDEV(&devobj) == S_OK, "disable device");
    ok(plugin->DisableDriver() == S_OK && helper.refs == 1, "helper released");
}

// A process that loaded the plug-in may switch the C runtime to a locale
// with a decimal comma; the watermark's numbers must keep their bytes.
void TestNumbersUnderCommaLocale(GetClassObjectFn getClassObject, HMODULE module) {
    const std::string previous = std::setlocale(LC_ALL, nullptr);
    if (std::setlocale(LC_ALL, "German") == nullptr ||
        std::strcmp(std::localeconv()->decimal_point, ",") != 0) {
        ok(false, "the C runtime has no German locale with a decimal comma");
        std::setlocale(LC_ALL, previous.c_str());
        return;
    }
    char sample[8];
    std::snprintf(sample, sizeof sample, "%1.2f", 0.5);
    ok(std::strcmp(sample, "0,50") == 0, "printf under the German locale wrote %s", sample);

    void* object = nullptr;
    void* created = nullptr;
    ok(getClassObject(klv::kClsidOemRender, klv::kIidClassFactory, &object) == S_OK, "class object");
    auto* factory = static_cast<IClassFactory*>(object);
    ok(factory->CreateInstance(nullptr, klv::kIidPrintOemPS, &created) == S_OK, "plug-in object");
    factory->Release();
    auto* plugin = static_cast<IPrintOemPS*>(created);
    RecordingHelper helper;
    ok(plugin->PublishDriverInterface(&helper) == S_OK, "publish");
    std::vector<BYTE> settings(1768, 0);
    OEMDMPARAM param{};
    param.cbBufSize = 1768;
    param.pOEMDMOut = settings.data();
    ok(plugin->DevMode(OEMDM_DEFAULT, &param) == S_OK, "defaults");
    settings[710] = 1;    // watermark on
    settings[712] = 0xD3; // angle -45
    settings[713] = 0xFF;
    settings[720] = 200; // colour 200, 100, 50
    settings[721] = 100;
    settings[722] = 50;
    DEVOBJ devobj{};
    devobj.dwSize = sizeof(devobj);
    devobj.hOEM = module;
    devobj.pOEMDM = settings.data();
    DWORD result = 0;
    ok(plugin->Command(&devobj, PSINJECT_BEGINPROLOG, nullptr, 0, &result) == S_OK, "prolog");
    const std::string procedure = helper.Joined();
    ok(procedure.find("\r\n/WaterMarkColor {0.78 0.39 0.20 setrgbcolor} bind def\r\n/Angle -45 def\r\n") !=
           std::string::npos,
       "watermark numbers under the German locale: %.80s",
       procedure.substr(std::min(procedure.find("/WaterMarkColor"), procedure.size())).c_str());
    ok(plugin->DisableDriver() == S_OK && plugin->Release() == 0, "released");
    std::setlocale(LC_ALL, previous.c_str());
}

// The DLL's trace lines: OutputDebugStringA raises the debug-print
// exception, which this handler sees before any debugger would.
std::string gDebugText;

LONG CALLBACK CollectDebugString(EXCEPTION_POINTERS* pointers) {
    const EXCEPTION_RECORD* record = pointers->ExceptionRecord;
    if (record->ExceptionCode != DBG_PRINTEXCEPTION_C || record->NumberParameters < 2)
        return EXCEPTION_CONTINUE_SEARCH;
    const auto* text = reinterpret_cast<const char*>(record->ExceptionInformation[1]);
    const auto length = static_cast<size_t>(record->ExceptionInformation[0]);
    if (text != nullptr && length > 0)
        gDebugText.append(text, length - 1);
    return EXCEPTION_CONTINUE_EXECUTION;
}

// Tracing is switched on before the DLL is loaded, so that every byte
// check of the run also holds with tracing on.
void SwitchTraceOn() {
    SetEnvironmentVariableA("KLVPS_TRACE", "1");
    AddVectoredExceptionHandler(1, CollectDebugString);
}

// The job above had no spooler handle and no StartDoc: its lookups fell
// back, and said so.
void TestTraceLines() {
    for (const char* line : {"klvps: no job id from StartDoc; billing the last listed job\n",
                             "klvps: no job listed; the accounting block keeps the last document name\n"})
        ok(gDebugText.find(line) != std::string::npos, "trace line missing: %s(traced: %s)", line,
           gDebugText.c_str());
}

} // namespace

int main() {
    SwitchTraceOn();
    HMODULE module = LoadLibraryW(L"klvps.dll");
    ok(module != nullptr, "klvps.dll not loaded (error %lu)", GetLastError());
    if (module == nullptr)
        return klv::conformance::Finish("dll");
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
        ok(plugin->GetInfo(OEMGI_GETSIGNATURE, &value, 4, &needed) == S_OK && value == dm::kSignature,
           "signature");
        ok(plugin->GetInfo(OEMGI_GETVERSION, &value, 4, &needed) == S_OK && value == 2, "version");
        SetLastError(0);
        ok(plugin->GetInfo(OEMGI_GETSIGNATURE, &value, 3, &needed) == E_FAIL &&
               GetLastError() == ERROR_INSUFFICIENT_BUFFER && needed == 4,
           "short buffer");
        ok(canUnloadNow() == S_FALSE, "busy while an object lives");
        TestJob(plugin, module);
        TestNumbersUnderCommaLocale(getClassObject, module);
        TestTraceLines();
        ok(plugin->Release() == 0, "last release");
        ok(canUnloadNow() == S_OK, "unloadable");
    }
    TestResources(module);
    TestStatusExports(module);
    klv::conformance::CheckVersionResource(module, L"klvps", L"rendering plug-in");
    klv::conformance::CheckSpoolerJobs(module);
    klv::conformance::CheckCallerSide32(module);
    FreeLibrary(module);
    return klv::conformance::Finish("dll");
}
