// Checks that only a 32-bit x86 caller can fail. Every call goes through a
// small assembly routine that pushes the arguments, calls, and reports how
// far the callee moved the stack pointer and whether EBX, ESI and EDI came
// back as they were: a function built as cdecl where the caller expects
// __stdcall (or the reverse) shows as a moved stack here, while on 64 bits
// both conventions are the same. Structures are written and read at the
// offsets the platform compiler gives them, not through shared headers.
#include "module/tests/conformance.h"
#include "module/tests/dll_conformance_checks.h"
#include "module/tests/dll_recording_helper.h"
#include "platform/printoem.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace klv::conformance {

#if defined(__i386__)

namespace {

struct CallRecord {
    std::uint32_t eax;
    std::int32_t popped;       // bytes the callee took off the stack
    std::uint32_t savedIntact; // EBX, ESI and EDI as the caller left them
};

extern "C" void CallMeasured(const void* function, const std::uint32_t* arguments, std::uint32_t count,
                             std::uint32_t ecx, CallRecord* record) __asm__("klv_call_measured");

__asm__(R"(
    .text
    .globl klv_call_measured
klv_call_measured:
    pushl %ebp
    movl %esp, %ebp
    pushl %ebx
    pushl %esi
    pushl %edi
    subl $4, %esp
    movl 16(%ebp), %ecx
    movl 12(%ebp), %esi
1:  testl %ecx, %ecx
    jz 2f
    decl %ecx
    pushl (%esi,%ecx,4)
    jmp 1b
2:  movl %esp, -16(%ebp)
    movl $0x5EB05EB0, %ebx
    movl $0x51515151, %esi
    movl $0xD1D1D1D1, %edi
    movl 20(%ebp), %ecx
    call *8(%ebp)
    movl 24(%ebp), %ecx
    movl %eax, (%ecx)
    movl %esp, %edx
    subl -16(%ebp), %edx
    movl %edx, 4(%ecx)
    xorl %edx, %edx
    cmpl $0x5EB05EB0, %ebx
    jne 3f
    cmpl $0x51515151, %esi
    jne 3f
    cmpl $0xD1D1D1D1, %edi
    jne 3f
    incl %edx
3:  movl %edx, 8(%ecx)
    leal -12(%ebp), %esp
    popl %edi
    popl %esi
    popl %ebx
    popl %ebp
    ret
)");

template <typename T> std::uint32_t Word(T value) {
    if constexpr (std::is_pointer_v<T> || std::is_null_pointer_v<T>)
        return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(value));
    else
        return static_cast<std::uint32_t>(value);
}

// Calls `function` with `thisRegister` in ECX and the arguments on the stack.
template <typename... Args>
CallRecord CallWith(std::uint32_t thisRegister, const void* function, Args... args) {
    const std::uint32_t words[sizeof...(Args) + 1] = {Word(args)..., 0};
    CallRecord record{};
    CallMeasured(function, words, sizeof...(Args), thisRegister, &record);
    return record;
}

template <typename... Args> CallRecord Call(const void* function, Args... args) {
    return CallWith(0, function, args...);
}

// The function in slot `slot` of a COM object's table.
const void* Method(void* object, unsigned slot) {
    void* const* table = *static_cast<void* const* const*>(object);
    return table[slot];
}

// A callee of the platform's __stdcall and this-call conventions takes its
// own arguments off the stack; each call is one check.
void ExpectCleanup(const char* what, const CallRecord& record, unsigned argumentWords) {
    ok(record.popped == static_cast<std::int32_t>(4 * argumentWords) && record.savedIntact,
       "%s: the callee took %ld bytes off the stack (convention: %u)%s", what,
       static_cast<long>(record.popped), 4 * argumentWords,
       record.savedIntact ? "" : ", and changed EBX, ESI or EDI");
}

// Table slots of IUnknown, IClassFactory and IPrintOemPS.
enum Slot : unsigned {
    kQueryInterface = 0,
    kAddRef = 1,
    kRelease = 2,
    kCreateInstance = 3,
    kLockServer = 4,
    kGetInfo = 3,
    kDevMode = 4,
    kEnableDriver = 5,
    kDisableDriver = 6,
    kEnablePdev = 7,
    kDisablePdev = 8,
    kResetPdev = 9,
    kPublishDriverInterface = 10,
    kCommand = 11,
};

// Offsets of the 32-bit structures, as the platform's compiler lays them out.
constexpr unsigned kDevobjSize = 32;
constexpr unsigned kDevobjPdevOem = 4;
constexpr unsigned kDevobjHOem = 16;
constexpr unsigned kDevobjOemDm = 24;
constexpr unsigned kGdiInfoSize = 304;
constexpr unsigned kGdiHorzSize = 8;
constexpr unsigned kGdiVertSize = 12;
constexpr unsigned kGdiHorzRes = 16;
constexpr unsigned kGdiVertRes = 20;
constexpr unsigned kGdiLogPixelsX = 40;
constexpr unsigned kGdiLogPixelsY = 44;
constexpr unsigned kGdiPhysOffsetX = 88;
constexpr unsigned kGdiPhysOffsetY = 92;
constexpr unsigned kGdiPhysSizeX = 96;
constexpr unsigned kGdiPhysSizeY = 100;
constexpr unsigned kSurfobjSize = 52;
constexpr unsigned kSurfobjDhpdev = 8;
constexpr unsigned kOemDmParamSize = 36;
constexpr unsigned kOemDmParamOut = 28;
constexpr unsigned kOemDmParamBufSize = 32;
constexpr unsigned kEnableDataSize = 12;
constexpr unsigned kDevModeFullPage = 536;

template <typename T> void Put(std::vector<BYTE>& block, unsigned offset, T value) {
    std::memcpy(block.data() + offset, &value, sizeof(value));
}

template <typename T> T Get(const std::vector<BYTE>& block, unsigned offset) {
    T value;
    std::memcpy(&value, block.data() + offset, sizeof(value));
    return value;
}

// A driver function of N arguments: records what reached it and answers
// with a value naming its argument count.
ULONG_PTR gDriverArguments[16];
unsigned gDriverArgumentCount = 0;

template <std::size_t> using ArgumentWord = ULONG_PTR;
template <typename Sequence> struct DriverFunction;
template <std::size_t... I> struct DriverFunction<std::index_sequence<I...>> {
    static ULONG_PTR APIENTRY Call(ArgumentWord<I>... arguments) {
        const ULONG_PTR received[] = {arguments..., 0};
        std::memcpy(gDriverArguments, received, sizeof...(I) * sizeof(ULONG_PTR));
        gDriverArgumentCount = sizeof...(I);
        return 0x600D0000 + sizeof...(I);
    }
};

template <std::size_t N> PFN DriverFunctionOf() {
    return reinterpret_cast<PFN>(
        reinterpret_cast<void (*)()>(&DriverFunction<std::make_index_sequence<N>>::Call));
}

struct HookCase {
    const char* name;
    ULONG index;
    unsigned arguments;
    bool takesDevice; // the first argument is the device handle, not a surface
    bool forwards;    // reaches the driver's function
    PFN driver;
};

#define KLV_HOOK_CASE(Name, Count, Device, Forwards)                                                         \
    HookCase {                                                                                               \
        "Drv" #Name, INDEX_Drv##Name, Count, Device, Forwards, DriverFunctionOf<Count>()                     \
    }

const HookCase kHookCases[] = {
    KLV_HOOK_CASE(RealizeBrush, 6, false, false),
    KLV_HOOK_CASE(CopyBits, 6, false, true),
    KLV_HOOK_CASE(BitBlt, 11, false, true),
    KLV_HOOK_CASE(StretchBlt, 11, false, true),
    KLV_HOOK_CASE(StretchBltROP, 13, false, true),
    KLV_HOOK_CASE(PlgBlt, 11, false, true),
    KLV_HOOK_CASE(TransparentBlt, 8, false, true),
    KLV_HOOK_CASE(AlphaBlend, 7, false, true),
    KLV_HOOK_CASE(GradientFill, 10, false, true),
    KLV_HOOK_CASE(TextOut, 10, false, true),
    KLV_HOOK_CASE(StrokePath, 8, false, true),
    KLV_HOOK_CASE(FillPath, 7, false, true),
    KLV_HOOK_CASE(StrokeAndFillPath, 10, false, true),
    KLV_HOOK_CASE(StartPage, 1, false, true),
    KLV_HOOK_CASE(SendPage, 1, false, true),
    KLV_HOOK_CASE(Escape, 6, false, true),
    KLV_HOOK_CASE(StartDoc, 3, false, true),
    KLV_HOOK_CASE(EndDoc, 2, false, true),
    KLV_HOOK_CASE(QueryFont, 4, true, true),
    KLV_HOOK_CASE(QueryFontTree, 5, true, true),
    KLV_HOOK_CASE(QueryFontData, 7, true, true),
    KLV_HOOK_CASE(QueryAdvanceWidths, 6, true, true),
    KLV_HOOK_CASE(FontManagement, 7, false, true),
    KLV_HOOK_CASE(GetGlyphMode, 2, true, true),
    KLV_HOOK_CASE(IcmCreateColorTransform, 9, true, true),
    KLV_HOOK_CASE(IcmDeleteColorTransform, 2, true, true),
    KLV_HOOK_CASE(QueryDeviceSupport, 8, false, true),
};

#undef KLV_HOOK_CASE

// A device as the driver holds it: its DEVOBJ, its GDIINFO and a surface
// whose device handle is the DEVOBJ, all as raw 32-bit records.
struct Device {
    std::vector<BYTE> devobj = std::vector<BYTE>(kDevobjSize);
    std::vector<BYTE> gdiInfo = std::vector<BYTE>(kGdiInfoSize);
    std::vector<BYTE> surface = std::vector<BYTE>(kSurfobjSize);
    std::vector<DRVFN> driverFunctions;
    DRVENABLEDATA driverData{};
    void* state = nullptr;

    Device(HMODULE module, std::vector<BYTE>& settings) {
        Put<DWORD>(devobj, 0, kDevobjSize);
        Put(devobj, kDevobjHOem, module);
        Put(devobj, kDevobjOemDm, settings.data());
        Put(surface, kSurfobjDhpdev, devobj.data());
        driverData = {0x00030101, 0, nullptr};
    }
    void* first(bool takesDevice) { return takesDevice ? devobj.data() : surface.data(); }
};

CallRecord EnableDevice(void* plugin, Device& device) {
    const CallRecord record =
        Call(Method(plugin, kEnablePdev), plugin, device.devobj.data(), nullptr, 0u, nullptr, kGdiInfoSize,
             device.gdiInfo.data(), 0u, nullptr, &device.driverData, &device.state);
    Put(device.devobj, kDevobjPdevOem, device.state);
    return record;
}

// Each hook, called as the engine calls it, forwards every argument and
// leaves the stack as the convention says, both to the driver's function
// and to the plug-in's stand-in for one the driver left out.
void CheckHooks(HMODULE module, void* plugin, std::vector<BYTE>& settings) {
    std::vector<BYTE> table(kEnableDataSize);
    ExpectCleanup("EnableDriver",
                  Call(Method(plugin, kEnableDriver), plugin, 0x00030101u, kEnableDataSize, table.data()), 4);
    const auto* hooks = Get<const DRVFN*>(table, 8);
    const ULONG hookCount = Get<ULONG>(table, 4);
    auto hookFor = [&](ULONG index) -> const void* {
        for (ULONG i = 0; i < hookCount; ++i)
            if (hooks[i].iFunc == index)
                return reinterpret_cast<const void*>(hooks[i].pfn);
        return nullptr;
    };

    Device offered(module, settings);
    for (const HookCase& c : kHookCases)
        offered.driverFunctions.push_back({c.index, c.driver});
    offered.driverData.c = static_cast<ULONG>(offered.driverFunctions.size());
    offered.driverData.pdrvfn = offered.driverFunctions.data();
    Device bare(module, settings);
    ExpectCleanup("EnablePDEV", EnableDevice(plugin, offered), 11);
    ExpectCleanup("EnablePDEV", EnableDevice(plugin, bare), 11);

    static WCHAR documentName[] = {'D', 'o', 'c', 0};
    for (const HookCase& c : kHookCases) {
        const void* hook = hookFor(c.index);
        ok(hook != nullptr, "%s is not hooked", c.name);
        if (hook == nullptr)
            continue;
        for (Device* device : {&offered, &bare}) {
            std::uint32_t words[16] = {Word(device->first(c.takesDevice))};
            for (unsigned i = 1; i < c.arguments; ++i)
                words[i] = 0xA000 + i;
            if (c.index == INDEX_DrvStartDoc)
                words[1] = Word(documentName);
            gDriverArgumentCount = 0;
            CallRecord record{};
            CallMeasured(hook, words, c.arguments, 0, &record);
            const std::string what = std::string(c.name) + (device == &offered ? "" : " (stand-in)");
            ExpectCleanup(what.c_str(), record, c.arguments);
            if (device != &offered || !c.forwards)
                continue;
            ok(gDriverArgumentCount == c.arguments &&
                   std::memcmp(gDriverArguments, words, c.arguments * sizeof(ULONG_PTR)) == 0 &&
                   record.eax == 0x600D0000 + c.arguments,
               "%s: the driver's function received %u of %u arguments unchanged", c.name,
               gDriverArgumentCount, c.arguments);
        }
    }
    ExpectCleanup("DisablePDEV", Call(Method(plugin, kDisablePdev), plugin, offered.devobj.data()), 2);
    ExpectCleanup("DisablePDEV", Call(Method(plugin, kDisablePdev), plugin, bare.devobj.data()), 2);
}

// The full-page sizes come out in double precision whatever precision the
// caller's x87 unit is set to, and the caller's control word survives.
void CheckPrecision(HMODULE module, void* plugin, std::vector<BYTE>& settings) {
    struct Case {
        LONG physicalWidth;
        LONG physicalHeight;
        ULONG dotsPerInch;
        LONG sizeBefore; // a negative size asks for micrometres
        LONG horizontal;
        LONG vertical;
    };
    const Case cases[] = {
        {5999, 8999, 600, 200, 254, 381},
        {8999, 5999, 600, 200, 381, 254},
        {86, 86, 1200, -1, -1841, -1841},
    };
    settings[kDevModeFullPage] = 1;
    settings[kDevModeFullPage + 1] = 0;
    // 53-bit precision as the platform starts threads, 64-bit as mingw's
    // start-up code sets it.
    for (const std::uint16_t controlWord : {std::uint16_t{0x27F}, std::uint16_t{0x37F}}) {
        for (const Case& c : cases) {
            Device device(module, settings);
            Put<LONG>(device.gdiInfo, kGdiHorzSize, c.sizeBefore);
            Put<LONG>(device.gdiInfo, kGdiVertSize, c.sizeBefore);
            Put<ULONG>(device.gdiInfo, kGdiLogPixelsX, c.dotsPerInch);
            Put<ULONG>(device.gdiInfo, kGdiLogPixelsY, c.dotsPerInch);
            Put<LONG>(device.gdiInfo, kGdiPhysOffsetX, 50);
            Put<LONG>(device.gdiInfo, kGdiPhysOffsetY, 50);
            Put<LONG>(device.gdiInfo, kGdiPhysSizeX, c.physicalWidth);
            Put<LONG>(device.gdiInfo, kGdiPhysSizeY, c.physicalHeight);
            std::uint16_t saved = 0;
            std::uint16_t after = 0;
            __asm__ volatile("fnstcw %0" : "=m"(saved));
            __asm__ volatile("fldcw %0" : : "m"(controlWord));
            const CallRecord record = EnableDevice(plugin, device);
            __asm__ volatile("fnstcw %0" : "=m"(after));
            __asm__ volatile("fldcw %0" : : "m"(saved));
            ok(record.eax == S_OK && after == controlWord,
               "control word %#x: EnablePDEV %#lx, control word after %#x", controlWord,
               static_cast<unsigned long>(record.eax), after);
            const LONG horizontal = Get<LONG>(device.gdiInfo, kGdiHorzSize);
            const LONG vertical = Get<LONG>(device.gdiInfo, kGdiVertSize);
            ok(horizontal == c.horizontal && vertical == c.vertical,
               "control word %#x, %ld x %ld pixels at %lu dpi: size %ld x %ld, expected %ld x %ld",
               controlWord, static_cast<long>(c.physicalWidth + 1), static_cast<long>(c.physicalHeight + 1),
               static_cast<unsigned long>(c.dotsPerInch), static_cast<long>(horizontal),
               static_cast<long>(vertical), static_cast<long>(c.horizontal), static_cast<long>(c.vertical));
            ok(Get<ULONG>(device.gdiInfo, kGdiHorzRes) == static_cast<ULONG>(c.physicalWidth + 1) &&
                   Get<ULONG>(device.gdiInfo, kGdiVertRes) == static_cast<ULONG>(c.physicalHeight + 1) &&
                   Get<LONG>(device.gdiInfo, kGdiPhysOffsetX) == 0 &&
                   Get<LONG>(device.gdiInfo, kGdiPhysOffsetY) == 0,
               "full-page resolution and offset at the platform's offsets");
            Call(Method(plugin, kDisablePdev), plugin, device.devobj.data());
        }
    }
    settings[kDevModeFullPage] = 0;
}

// The status records' members as the platform compiler lays them out:
// offset and length of each, after the table pointer.
struct Member {
    unsigned offset;
    unsigned length;
};
struct StatusClass {
    const char* name;
    const char* copyConstructor;
    const char* assignment;
    const char* table;
    unsigned size;
    std::vector<Member> members;
};

void CheckStatusMembers(HMODULE module) {
    const StatusClass classes[] = {
        {"CTrayStatus",
         "??0CTrayStatus@@QAE@ABV0@@Z",
         "??4CTrayStatus@@QAEAAV0@ABV0@@Z",
         "??_7CTrayStatus@@6B@",
         416,
         {{4, 4}, {8, 128}, {136, 280}}},
        {"CConsumablesStatus",
         "??0CConsumablesStatus@@QAE@ABV0@@Z",
         "??4CConsumablesStatus@@QAEAAV0@ABV0@@Z",
         "??_7CConsumablesStatus@@6B@",
         148,
         {{4, 4}, {8, 4}, {12, 4}, {16, 4}, {20, 128}}},
        {"CGeneralPrinterStatus",
         "??0CGeneralPrinterStatus@@QAE@ABV0@@Z",
         "??4CGeneralPrinterStatus@@QAEAAV0@ABV0@@Z",
         "??_7CGeneralPrinterStatus@@6B@",
         272,
         {{4, 1}, {8, 4}, {12, 1}, {13, 1}, {14, 1}, {16, 128}, {144, 128}}},
    };
    constexpr unsigned kGuard = 16;
    for (const StatusClass& c : classes) {
        const void* copy = reinterpret_cast<const void*>(GetProcAddress(module, c.copyConstructor));
        const void* assign = reinterpret_cast<const void*>(GetProcAddress(module, c.assignment));
        const void* table = reinterpret_cast<const void*>(GetProcAddress(module, c.table));
        ok(copy != nullptr && assign != nullptr && table != nullptr, "%s exports missing", c.name);
        if (copy == nullptr || assign == nullptr || table == nullptr)
            continue;
        std::vector<BYTE> source(c.size + kGuard);
        for (size_t i = 0; i < source.size(); ++i)
            source[i] = static_cast<BYTE>(0x11 + i * 7);
        struct Operation {
            const char* what;
            const void* function;
            bool setsTable;
        };
        for (const Operation op :
             {Operation{"copy constructor", copy, true}, Operation{"assignment", assign, false}}) {
            std::vector<BYTE> target(c.size + kGuard, 0xEE);
            const std::uint32_t self = Word(target.data());
            const CallRecord record = CallWith(self, op.function, source.data());
            const std::string what = std::string(c.name) + " " + op.what;
            ExpectCleanup(what.c_str(), record, 1);
            ok(record.eax == self, "%s returns %#lx in EAX, not this %#lx", what.c_str(),
               static_cast<unsigned long>(record.eax), static_cast<unsigned long>(self));
            const void* tableAfter = Get<const void*>(target, 0);
            ok(op.setsTable ? tableAfter == table : Get<std::uint32_t>(target, 0) == 0xEEEEEEEE,
               "%s leaves table pointer %p", what.c_str(), tableAfter);
            bool membersCopied = true;
            for (const Member& m : c.members)
                membersCopied =
                    membersCopied && std::memcmp(&target[m.offset], &source[m.offset], m.length) == 0;
            ok(membersCopied, "%s: members not at the platform's offsets", what.c_str());
            bool guardKept = true;
            for (unsigned i = 0; i < kGuard; ++i)
                guardKept = guardKept && target[c.size + i] == 0xEE;
            ok(guardKept, "%s writes past %u bytes", what.c_str(), c.size);
        }
    }
}

} // namespace

void CheckCallerSide32(HMODULE module) {
    const void* getClassObject = reinterpret_cast<const void*>(GetProcAddress(module, "DllGetClassObject"));
    const void* canUnloadNow = reinterpret_cast<const void*>(GetProcAddress(module, "DllCanUnloadNow"));
    ok(getClassObject != nullptr && canUnloadNow != nullptr, "entry points missing");
    if (getClassObject == nullptr || canUnloadNow == nullptr)
        return;

    void* factory = nullptr;
    CallRecord record = Call(getClassObject, &klv::kClsidOemRender, &klv::kIidClassFactory, &factory);
    ExpectCleanup("DllGetClassObject", record, 3);
    if (record.eax != S_OK || factory == nullptr)
        return;
    void* unknown = nullptr;
    ExpectCleanup("IClassFactory::QueryInterface",
                  Call(Method(factory, kQueryInterface), factory, &klv::kIidUnknown, &unknown), 3);
    ExpectCleanup("IClassFactory::AddRef", Call(Method(factory, kAddRef), factory), 1);
    ExpectCleanup("IClassFactory::LockServer", Call(Method(factory, kLockServer), factory, TRUE), 2);
    ExpectCleanup("DllCanUnloadNow", Call(canUnloadNow), 0);
    ExpectCleanup("IClassFactory::LockServer", Call(Method(factory, kLockServer), factory, FALSE), 2);
    void* plugin = nullptr;
    ExpectCleanup("IClassFactory::CreateInstance",
                  Call(Method(factory, kCreateInstance), factory, nullptr, &klv::kIidPrintOemPS, &plugin), 4);
    // One reference each from DllGetClassObject, AddRef and a successful QueryInterface.
    for (int i = unknown != nullptr ? 3 : 2; i > 0; --i)
        ExpectCleanup("IClassFactory::Release", Call(Method(factory, kRelease), factory), 1);
    if (plugin == nullptr)
        return;

    void* same = nullptr;
    ExpectCleanup("IPrintOemPS::QueryInterface",
                  Call(Method(plugin, kQueryInterface), plugin, &klv::kIidPrintOemPS, &same), 3);
    ExpectCleanup("IPrintOemPS::AddRef", Call(Method(plugin, kAddRef), plugin), 1);
    ExpectCleanup("IPrintOemPS::Release", Call(Method(plugin, kRelease), plugin), 1);
    ExpectCleanup("IPrintOemPS::Release", Call(Method(plugin, kRelease), plugin), 1);
    DWORD value = 0;
    DWORD needed = 0;
    ExpectCleanup("IPrintOemPS::GetInfo",
                  Call(Method(plugin, kGetInfo), plugin, OEMGI_GETSIGNATURE, &value, 4u, &needed), 5);
    RecordingHelper helper;
    ExpectCleanup("IPrintOemPS::PublishDriverInterface",
                  Call(Method(plugin, kPublishDriverInterface), plugin, static_cast<IUnknown*>(&helper)), 2);

    std::vector<BYTE> param(kOemDmParamSize);
    std::vector<BYTE> settings(1768);
    ExpectCleanup("IPrintOemPS::DevMode", Call(Method(plugin, kDevMode), plugin, OEMDM_SIZE, param.data()),
                  3);
    ok(Get<DWORD>(param, kOemDmParamBufSize) == 1768, "size at the platform's offset: %lu",
       static_cast<unsigned long>(Get<DWORD>(param, kOemDmParamBufSize)));
    Put(param, kOemDmParamOut, settings.data());
    ExpectCleanup("IPrintOemPS::DevMode", Call(Method(plugin, kDevMode), plugin, OEMDM_DEFAULT, param.data()),
                  3);
    ok(Get<DWORD>(settings, 0) == 1768, "defaults written through the platform's offsets");

    CheckHooks(module, plugin, settings);
    CheckPrecision(module, plugin, settings);

    Device device(module, settings);
    EnableDevice(plugin, device);
    DWORD result = 0;
    ExpectCleanup(
        "IPrintOemPS::Command",
        Call(Method(plugin, kCommand), plugin, device.devobj.data(), PSINJECT_COMMENTS, nullptr, 0u, &result),
        6);
    ok(!helper.writes.empty(), "Command wrote through the helper");
    Device next(module, settings);
    EnableDevice(plugin, next);
    ExpectCleanup("IPrintOemPS::ResetPDEV",
                  Call(Method(plugin, kResetPdev), plugin, device.devobj.data(), next.devobj.data()), 3);
    ExpectCleanup("IPrintOemPS::DisablePDEV",
                  Call(Method(plugin, kDisablePdev), plugin, device.devobj.data()), 2);
    Call(Method(plugin, kDisablePdev), plugin, next.devobj.data());
    ExpectCleanup("IPrintOemPS::DisableDriver", Call(Method(plugin, kDisableDriver), plugin), 1);
    ExpectCleanup("IPrintOemPS::Release", Call(Method(plugin, kRelease), plugin), 1);

    CheckStatusMembers(module);
}

#else

void CheckCallerSide32(HMODULE) {
    skip("the caller-side checks need a 32-bit x86 caller");
}

#endif

} // namespace klv::conformance
