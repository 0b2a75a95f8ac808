// The hook table, the per-device block of the driver's functions and the
// hooks that forward to them, driven through the plug-in object.
#include "devmode/layout.h"
#include "hooks/device_state.h"
#include "hooks/hook_table.h"
#include "module/plugin.h"
#include "testing/test_device.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <new>
#include <string>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

// The plug-in allocates with the non-throwing new. In this program that new
// hands out blocks filled with garbage, so that a member left uninitialised
// shows, and fails on request.
static bool gFailNothrowNew = false;

void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    if (gFailNothrowNew)
        return nullptr;
    return std::memset(::operator new(size), 0xA5, size);
}

namespace {

using Word = std::uintptr_t;

// Arguments and results travel as words.
template <typename To, typename From> To As(From value) {
    if constexpr (std::is_pointer_v<To> || std::is_pointer_v<From>)
        return reinterpret_cast<To>(value);
    else
        return static_cast<To>(value);
}

// The fake driver's calls: the tag of the function that ran and its arguments.
std::vector<std::pair<unsigned, std::vector<Word>>> gCalls;
Word gDriverResult = 0;

LONG gJobIdSeenByDriver = -1;

// The driver's function at table position Tag (tags from 100 on: another
// function with the same prototype). Its StartDoc notes the job id the
// device holds when it runs.
template <unsigned Tag, typename R, typename First, typename... A>
R APIENTRY FakeDriverFunction(First first, A... args) {
    if constexpr (Tag == klv::kPosStartDoc)
        gJobIdSeenByDriver = klv::DeviceStateOf(reinterpret_cast<DEVOBJ*>(first->dhpdev))->jobId;
    gCalls.push_back({Tag, {As<Word>(first), As<Word>(args)...}});
    return As<R>(gDriverResult);
}

template <unsigned Tag, typename R, typename First, typename... A> PFN FakeLike(R(APIENTRY*)(First, A...)) {
    return KLV_FUNCTION_CAST(PFN, &FakeDriverFunction<Tag, R, First, A...>);
}

// Calls a hook with a distinct word per argument, the first being the device
// handle or a surface on the device, as its prototype takes; gives back the
// hook's result and, in *args, the words passed.
using Invoker = std::function<Word(DEVOBJ*, std::vector<Word>*)>;
template <typename R, typename First, typename... A>
Invoker InvokerOf(unsigned position, R(APIENTRY* hook)(First, A...)) {
    return [position, hook](DEVOBJ* devobj, std::vector<Word>* args) {
        SURFOBJ surface{};
        surface.dhpdev = reinterpret_cast<DHPDEV>(devobj);
        return [&]<std::size_t... I>(std::index_sequence<I...>) {
            *args = {std::is_same_v<First, DHPDEV> ? As<Word>(devobj) : As<Word>(&surface),
                     (0x1000 + position * 0x40 + I)...};
            return As<Word>(hook(As<First>((*args)[0]), As<A>((*args)[I + 1])...));
        }
        (std::index_sequence_for<A...>{});
    };
}

// The result type of a DDI function type.
template <typename R, typename... A> R ResultOfCall(R(APIENTRY*)(A...));
template <typename Fn> using ResultOf = decltype(ResultOfCall(std::declval<Fn>()));

struct HookRow {
    const char* name;
    unsigned position;
    ULONG iFunc;
    Word failure;   // what the driver's function returns when it fails
    PFN hook, fake; // the hook, and the driver's function for its index
    PFN duplicate;  // another driver function with the same prototype
    Invoker invoke;
};

#define HOOK_ROW(Name, index, position, failure)                                                             \
    HookRow{#Name,                                                                                           \
            position,                                                                                        \
            index,                                                                                           \
            As<Word>(static_cast<ResultOf<PFN_Drv##Name>>(failure)),                                         \
            KLV_FUNCTION_CAST(PFN, &klv::Hook##Name),                                                        \
            FakeLike<position>(&klv::Hook##Name),                                                            \
            FakeLike<100 + position>(&klv::Hook##Name),                                                      \
            InvokerOf(position, &klv::Hook##Name)},

const HookRow kRows[] = {KLV_HOOKED_DDI_FUNCTIONS(HOOK_ROW)};
static_assert(std::size(kRows) == klv::kHookCount);

#undef HOOK_ROW

// The shared test device, enabled through a plug-in object with the given
// driver array; the plug-in's non-throwing new fails on request meanwhile.
struct Device {
    explicit Device(std::vector<DRVFN> functions, ULONG count = ~0u, bool failAllocation = false) {
        gFailNothrowNew = failAllocation;
        enableResult = device.EnableThrough(plugin, std::move(functions), count);
        gFailNothrowNew = false;
        plugin->Release(); // the device holds it from here
    }
    klv::DeviceHookState* state() { return device.HookState(); }

    klv::RenderPlugin* plugin = klv::RenderPlugin::Create();
    klv::testing::TestDevice device;
    DEVOBJ& devobj = device.devobj;
    HRESULT enableResult = E_FAIL;
};

// The driver's array: every hooked index twice, its own function first,
// listed in reverse table order and mixed with indices that are not hooked.
std::vector<DRVFN> FullDriverArray() {
    std::vector<DRVFN> functions{{1, reinterpret_cast<PFN>(0x11)}};
    for (auto row = std::rbegin(kRows); row != std::rend(kRows); ++row) {
        functions.push_back({row->iFunc, row->fake});
        functions.push_back({row->iFunc + 200, reinterpret_cast<PFN>(0x22)});
        functions.push_back({row->iFunc, row->duplicate});
    }
    return functions;
}

TEST(Hooks, EnableDriverHandsOverTheTable) {
    for (const HookRow& row : kRows)
        EXPECT_EQ(std::pair(klv::HookTable[row.position].iFunc, klv::HookTable[row.position].pfn),
                  std::pair(row.iFunc, row.hook))
            << row.name;
    // Whatever version and size the driver gives.
    Device device({});
    DRVENABLEDATA data{0xCCCCCCCC, 0xCCCCCCCC, nullptr};
    EXPECT_EQ(device.plugin->EnableDriver(~0u, 3, &data), S_OK);
    EXPECT_EQ(std::tuple(data.iDriverVersion, data.c, data.pdrvfn),
              std::tuple(0x00010000u, 27u, klv::HookTable));
    EXPECT_EQ(device.plugin->DisableDriver(), S_OK);
}

// Each hook calls the first function the driver listed for its index, with
// its arguments unchanged, and gives back its result. A slot the driver does
// not fill gets a stand-in that fails without calling anything, and the
// device is enabled all the same. The brush hook answers itself; the StartDoc
// hook records the job id before anything else runs.
TEST(Hooks, EachHookForwardsToTheDriversFunctionOfItsIndex) {
    std::vector<DRVFN> partial = FullDriverArray();
    std::erase_if(partial, [](const DRVFN& f) { return f.iFunc == INDEX_DrvQueryDeviceSupport; });
    const HookRow& copyBits = kRows[klv::kPosCopyBits];
    // The driver's array, its count, and a bit per position the driver fills.
    const std::tuple<const char*, std::vector<DRVFN>, ULONG, unsigned> cases[] = {
        {"every index", FullDriverArray(), ~0u, ~0u},
        {"no QueryDeviceSupport, count ending before CopyBits", partial,
         static_cast<ULONG>(partial.size() - 6), ((1u << 26) - 1) & ~3u},
        {"count of 0", FullDriverArray(), 0, 0},
        {"no array", {}, 5, 0},
        {"null function first", {{copyBits.iFunc, nullptr}, {copyBits.iFunc, copyBits.duplicate}}, ~0u, 0},
    };
    for (const auto& [name, functions, count, offered] : cases) {
        Device device(functions, count);
        ASSERT_EQ(device.enableResult, S_OK) << name;
        EXPECT_EQ(device.state()->jobId, 0);
        EXPECT_EQ(device.state()->documentName[0], 0);
        for (const HookRow& row : kRows) {
            SCOPED_TRACE(std::string(name) + ", " + row.name);
            const bool calls = row.position != klv::kPosRealizeBrush && ((offered >> row.position) & 1) != 0;
            gCalls.clear();
            gDriverResult = 0x5A5A5A5A;
            gJobIdSeenByDriver = -1;
            std::vector<Word> args;
            // With no driver function the stand-in fails, except for the
            // brush hook, which answers TRUE itself.
            const Word failure = row.position == klv::kPosRealizeBrush ? TRUE : row.failure;
            EXPECT_EQ(row.invoke(&device.devobj, &args), calls ? gDriverResult : failure);
            ASSERT_EQ(gCalls.size(), calls ? 1u : 0u);
            if (calls) {
                EXPECT_EQ(gCalls[0], std::pair(row.position, args));
            }
            if (row.position == klv::kPosStartDoc) {
                EXPECT_EQ(device.state()->jobId, static_cast<LONG>(args[2]));
                EXPECT_EQ(gJobIdSeenByDriver, calls ? static_cast<LONG>(args[2]) : -1);
            }
        }
    }
}

TEST(Hooks, ResetAndDisableLeaveTheDevicesAlone) {
    Device oldDevice(FullDriverArray()), newDevice({});
    const klv::DeviceHookState oldCopy = *oldDevice.state();
    const PDEVOEM newBlock = newDevice.devobj.pdevOEM;
    EXPECT_EQ(oldDevice.plugin->ResetPDEV(&oldDevice.devobj, &newDevice.devobj), S_OK);
    EXPECT_EQ(oldDevice.plugin->ResetPDEV(nullptr, nullptr), S_OK);
    EXPECT_EQ(newDevice.devobj.pdevOEM, newBlock);
    EXPECT_EQ(std::memcmp(&oldCopy, oldDevice.state(), sizeof oldCopy), 0);
    DEVOBJ empty{};
    EXPECT_EQ(oldDevice.plugin->DisablePDEV(&empty), S_OK);
}

TEST(Hooks, EnableFailsWhenTheBlockCannotBeAllocated) {
    Device device(FullDriverArray(), ~0u, true);
    EXPECT_EQ(device.enableResult, E_FAIL);
    EXPECT_EQ(device.devobj.pdevOEM, nullptr);
}

} // namespace
