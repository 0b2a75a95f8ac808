// The prolog's page settings and the watermark: the page-origin patch and
// the DrawWaterMark procedure at the start of the prolog, the flip key at
// its end, and the procedure's invocation at every page.
#include "devmode/layout.h"
#include "inject/injection_points.h"
#include "resources/resource_ids.h"
#include "watermark/watermark.h"

namespace klv {

namespace {

// Redefines def in userdict so that every later definition of mysetup has
// its translation (elements 4 and 5) moved: below 20 units to 0, else 15
// units further out. Sent as two writes that form one line.
constexpr char kOriginPatchHead[] =
    "/klvdeforig /def load def userdict begin /klvdef { exch dup (mysetup) eq { exch systemdict /def get "
    "exec "
    "mysetup 4 get dup 20 lt { pop mysetup 4 0 put } { 15 add mysetup exch 4 exch put } ";
constexpr char kOriginPatchTail[] =
    "ifelse mysetup 5 get dup 20 lt { pop mysetup 5 0 put } { 15 add mysetup exch 5 exch put } ifelse } "
    "{ exch systemdict /def get exec } ifelse } bind def /def /klvdef load def end\r\n";
constexpr char kFlipKey[] = " userdict /kelvo$flip true put \r\n";

static_assert(sizeof(kOriginPatchHead) - 1 == 188 && sizeof(kOriginPatchTail) - 1 == 178);
static_assert(sizeof(kFlipKey) - 1 == 33);

const BYTE* SettingsOf(PDEVOBJ devobj) {
    return static_cast<const BYTE*>(devobj->pOEMDM);
}

HMODULE ModuleOf(PDEVOBJ devobj) {
    return static_cast<HMODULE>(devobj->hOEM);
}

bool WatermarkOn(const BYTE* settings) {
    return dm::S16(settings, dm::kSWatermarkOn) != 0;
}

} // namespace

void WritePrologSettings(InjectionWriter& writer, PDEVOBJ devobj) {
    const BYTE* settings = SettingsOf(devobj);
    if (dm::S16(settings, dm::kSFullPage) >= 1) {
        writer.Emit(kOriginPatchHead);
        writer.Emit(kOriginPatchTail);
    }
    if (!WatermarkOn(settings))
        return;
    DWORD length = 0;
    char* procedure = BuildWatermarkProcset(settings, ModuleOf(devobj), &length);
    if (procedure == nullptr)
        return;
    writer.WriteUpToTerminator(procedure, length + 1);
    delete[] procedure;
}

void WriteFlipKey(InjectionWriter& writer, PDEVOBJ devobj) {
    if (dm::S16(SettingsOf(devobj), dm::kSFlip) != 0)
        writer.Emit(kFlipKey);
}

void WriteWatermarkInvocation(InjectionWriter& writer, PDEVOBJ devobj) {
    if (!WatermarkOn(SettingsOf(devobj)))
        return;
    // Fetched anew on every page; the bytes belong to the module.
    DWORD size = 0;
    const BYTE* invocation = LoadPsResource(ModuleOf(devobj), kWatermarkInvokeResource, &size);
    if (invocation != nullptr)
        writer.WriteUpToTerminator(reinterpret_cast<const char*>(invocation), size);
}

} // namespace klv
