#include "module/tests/conformance.h"
#include "module/tests/dll_conformance_checks.h"
#include "module/tests/dll_recording_helper.h"
#include "platform/printoem.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace klv::conformance {

namespace {

using ClearFn = void(WINAPI*)();
using AddJobFn = BOOL(WINAPI*)(DWORD, const WCHAR*, const WCHAR*);
using StartDocFn = BOOL(APIENTRY*)(SURFOBJ*, LPWSTR, DWORD);
using GetClassObjectFn = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);

template <typename To, typename From> To FunctionCast(From function) {
    return reinterpret_cast<To>(reinterpret_cast<void (*)()>(function));
}

struct QueuedJob {
    DWORD id;
    const WCHAR* user;
    const WCHAR* document;
};

struct JobCase {
    const char* what;
    std::vector<QueuedJob> queue;
    DWORD startDocJobId; // 0: the device never learns its job's id
    std::string user;    // as the accounting block spells them
    std::string document;
};

} // namespace

void CheckSpoolerJobs(HMODULE module) {
    HMODULE spooler = GetModuleHandleW(L"winspool.drv");
    auto clear = FunctionCast<ClearFn>(GetProcAddress(spooler, "KlvSpoolerClear"));
    auto addJob = FunctionCast<AddJobFn>(GetProcAddress(spooler, "KlvSpoolerAddJob"));
    ok(clear != nullptr && addJob != nullptr, "the stand-in spooler is not the one loaded");
    if (clear == nullptr || addJob == nullptr)
        return;

    auto getClassObject = FunctionCast<GetClassObjectFn>(GetProcAddress(module, "DllGetClassObject"));
    void* object = nullptr;
    if (getClassObject == nullptr ||
        getClassObject(klv::kClsidOemRender, klv::kIidClassFactory, &object) != S_OK)
        return;
    auto* factory = static_cast<IClassFactory*>(object);
    void* created = nullptr;
    factory->CreateInstance(nullptr, klv::kIidPrintOemPS, &created);
    factory->Release();
    auto* plugin = static_cast<IPrintOemPS*>(created);
    RecordingHelper collector;
    plugin->PublishDriverInterface(&collector);
    OEMDMPARAM param{};
    std::vector<BYTE> settings(1768);
    param.pOEMDMOut = settings.data();
    plugin->DevMode(OEMDM_DEFAULT, &param);
    DRVENABLEDATA table{};
    plugin->EnableDriver(0x00030101, sizeof(table), &table);
    StartDocFn startDoc = nullptr;
    for (ULONG i = 0; i < table.c; ++i)
        if (table.pdrvfn[i].iFunc == INDEX_DrvStartDoc)
            startDoc = FunctionCast<StartDocFn>(table.pdrvfn[i].pfn);

    const JobCase cases[] = {
        {"by the device's job id",
         {{7, L"alice", L"C:\\Docs\\Memo.doc"}, {9, L"bob", L"Plan.txt"}},
         7,
         "alice",
         "Memo.doc"},
        {"last listed without an id",
         {{7, L"alice", L"Memo.doc"}, {9, L"bob", L"Plan.txt"}},
         0,
         "bob",
         "Plan.txt"},
        {"Latin-1 and parentheses",
         {{12, L"Zo\u00EB (ops)", L"Microsoft Word - R\u00E9sum\u00E9 (v2) \\ x.doc"}},
         12,
         "Zo\xEB \\(ops\\)",
         " x.doc"},
        {"no user name", {{3, nullptr, L"Report"}}, 3, "", "Report"},
        {"euro sign through code page 1252", {{4, L"\u20AC", L"\u20AC.pdf"}}, 4, "\x80", "\x80.pdf"},
    };
    for (const JobCase& c : cases) {
        clear();
        for (const QueuedJob& job : c.queue)
            addJob(job.id, job.user, job.document);
        DEVOBJ devobj{};
        devobj.dwSize = sizeof(devobj);
        devobj.hOEM = module;
        devobj.hPrinter = reinterpret_cast<HANDLE>(0x5150);
        devobj.pOEMDM = settings.data();
        GDIINFO gdi{};
        DRVENABLEDATA driver{0x00030101, 0, nullptr};
        PDEVOEM state = nullptr;
        plugin->EnablePDEV(&devobj, nullptr, 0, nullptr, sizeof(gdi), &gdi, 0, nullptr, &driver, &state);
        devobj.pdevOEM = state;
        SURFOBJ surface{};
        surface.dhpdev = reinterpret_cast<DHPDEV>(&devobj);
        static WCHAR documentName[] = L"doc";
        if (c.startDocJobId != 0 && startDoc != nullptr)
            startDoc(&surface, documentName, c.startDocJobId);
        collector.writes.clear();
        DWORD result = 0;
        plugin->Command(&devobj, PSINJECT_COMMENTS, nullptr, 0, &result);
        const std::string userLine =
            "(" + c.user + ") /ZUDurareDirod /ProcSet findresource begin logusername end\n";
        const std::string documentLine =
            "(" + c.document + ") /ZUDurareDirod /ProcSet findresource begin logfilename end\n";
        ok(collector.Joined().find(userLine) != std::string::npos, "%s: user line missing from:\n%s", c.what,
           collector.Joined().c_str());
        ok(collector.Joined().find(documentLine) != std::string::npos, "%s: document line missing from:\n%s",
           c.what, collector.Joined().c_str());
        plugin->DisablePDEV(&devobj);
    }
    clear();
    plugin->DisableDriver();
    plugin->Release();
}

} // namespace klv::conformance
