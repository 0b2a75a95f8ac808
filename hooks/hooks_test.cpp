// The hook table, the per-device block of the driver's functions and the
// hooks that forward to them, driven through the plug-in object.
#include "devmode/layout.h"
#include "hooks/device_state.h"
#include "hooks/hook_table.h"
#include "hooks/hooks.h"
#include "module/plugin.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <new>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

// The plug-in allocates with the non-throwing new. In this program that new
// hands out blocks filled with garbage, so that a member left uninitialised
// shows, and fails on request.
namespace {
bool gFailNothrowNew = false;
}

void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    if (gFailNothrowNew)
        return nullptr;
    try {
        void* block = ::operator new(size);
        std::memset(block, 0xA5, size);
        return block;
    } catch (...) {
        return nullptr;
    }
}

namespace {

using klv::DeviceHookState;
using klv::kHookCount;
using klv::RenderPlugin;
using Word = std::uintptr_t;

template <typename T> Word ToWord(T value) {
    if constexpr (std::is_pointer_v<T>)
        return reinterpret_cast<Word>(value);
    else
        return static_cast<Word>(value);
}

template <typename T> T FromWord(Word word) {
    if constexpr (std::is_pointer_v<T>)
        return reinterpret_cast<T>(word);
    else
        return static_cast<T>(word);
}

// What the fake driver saw: which of its functions ran, with which arguments.
struct DriverCall {
    unsigned tag;
    std::vector<Word> args;
};
std::vector<DriverCall> gCalls;
Word gDriverResult = 0;

// The driver's function for the DDI index at table position Tag (or another
// function with the same prototype, for tags from 100 on).
template <unsigned Tag, typename R, typename... A> R APIENTRY FakeDriverFunction(A... args) {
    gCalls.push_back({Tag, {ToWord(args)...}});
    return FromWord<R>(gDriverResult);
}

template <unsigned Tag, typename R, typename... A> PFN FakeLike(R(APIENTRY*)(A...)) {
    return klv::ToPfn(&FakeDriverFunction<Tag, R, A...>);
}

template <typename R, typename... A> constexpr unsigned Arity(R(APIENTRY*)(A...)) {
    return sizeof...(A);
}

template <typename R, typename... A, std::size_t... I>
Word CallWith(R(APIENTRY* hook)(A...), const std::vector<Word>& args, std::index_sequence<I...>) {
    return ToWord(hook(FromWord<A>(args[I])...));
}

// Calls a hook with one word per argument and gives its result as a word.
using Invoker = std::function<Word(const std::vector<Word>&)>;
template <typename R, typename... A> Invoker InvokerOf(R(APIENTRY* hook)(A...)) {
    return [hook](const std::vector<Word>& args) {
        return CallWith(hook, args, std::index_sequence_for<A...>{});
    };
}

enum class Reach { None, Surface, Device };

struct HookRow {
    const char* name;
    unsigned position;
    ULONG iFunc;
    unsigned arguments;
    Reach reach;
    PFN hook;
    unsigned hookArity;
    PFN fake;      // the driver's function at this position
    PFN duplicate; // another driver function with the same prototype
    Invoker invoke;
    Word failure; // what the hook gives when the driver offers nothing
};

#define HOOK_ROW(Name, position, iFunc, arguments, reach, failure)                                           \
    HookRow {                                                                                                \
#Name, position, iFunc, arguments, reach, klv::ToPfn(&klv::Hook##Name), Arity(&klv::Hook##Name),     \
            FakeLike < position>(&klv::Hook##Name), FakeLike < 100 + position>(&klv::Hook##Name),            \
            InvokerOf(&klv::Hook##Name), failure                                                             \
    }

const Word kFalse = 0;
const Word kFontDataError = ToWord(static_cast<LONG>(-1));

const std::vector<HookRow>& Rows() {
    static const std::vector<HookRow> rows = {
        HOOK_ROW(RealizeBrush, 0, 12, 6, Reach::None, TRUE),
        HOOK_ROW(CopyBits, 1, 19, 6, Reach::Surface, kFalse),
        HOOK_ROW(BitBlt, 2, 18, 11, Reach::Surface, kFalse),
        HOOK_ROW(StretchBlt, 3, 20, 11, Reach::Surface, kFalse),
        HOOK_ROW(StretchBltROP, 4, 69, 13, Reach::Surface, kFalse),
        HOOK_ROW(PlgBlt, 5, 70, 11, Reach::Surface, kFalse),
        HOOK_ROW(TransparentBlt, 6, 74, 8, Reach::Surface, kFalse),
        HOOK_ROW(AlphaBlend, 7, 71, 7, Reach::Surface, kFalse),
        HOOK_ROW(GradientFill, 8, 68, 10, Reach::Surface, kFalse),
        HOOK_ROW(TextOut, 9, 23, 10, Reach::Surface, kFalse),
        HOOK_ROW(StrokePath, 10, 14, 8, Reach::Surface, kFalse),
        HOOK_ROW(FillPath, 11, 15, 7, Reach::Surface, kFalse),
        HOOK_ROW(StrokeAndFillPath, 12, 16, 10, Reach::Surface, kFalse),
        HOOK_ROW(StartPage, 13, 33, 1, Reach::Surface, kFalse),
        HOOK_ROW(SendPage, 14, 32, 1, Reach::Surface, kFalse),
        HOOK_ROW(Escape, 15, 24, 6, Reach::Surface, 0),
        HOOK_ROW(StartDoc, 16, 35, 3, Reach::Surface, kFalse),
        HOOK_ROW(EndDoc, 17, 34, 2, Reach::Surface, kFalse),
        HOOK_ROW(QueryFont, 18, 26, 4, Reach::Device, 0),
        HOOK_ROW(QueryFontTree, 19, 27, 5, Reach::Device, 0),
        HOOK_ROW(QueryFontData, 20, 28, 7, Reach::Device, kFontDataError),
        HOOK_ROW(QueryAdvanceWidths, 21, 53, 6, Reach::Device, kFalse),
        HOOK_ROW(FontManagement, 22, 47, 7, Reach::Surface, 0),
        HOOK_ROW(GetGlyphMode, 23, 37, 2, Reach::Device, 0),
        HOOK_ROW(IcmCreateColorTransform, 24, 64, 9, Reach::Device, 0),
        HOOK_ROW(IcmDeleteColorTransform, 25, 65, 2, Reach::Device, kFalse),
        HOOK_ROW(QueryDeviceSupport, 26, 76, 8, Reach::Surface, kFalse),
    };
    return rows;
}

// One enabled device: its DEVOBJ, a surface on it and its private device
// mode, enabled through a plug-in object with a given driver array.
class Device {
public:
    explicit Device(std::vector<DRVFN> driverFunctions, ULONG count = ~0u)
        : functions_(std::move(driverFunctions)) {
        devobj_.dwSize = sizeof(DEVOBJ);
        devobj_.pOEMDM = devmode_;
        surface_.dhpdev = reinterpret_cast<DHPDEV>(&devobj_);
        enableData_.iDriverVersion = 0x00010000;
        enableData_.c = count == ~0u ? static_cast<ULONG>(functions_.size()) : count;
        enableData_.pdrvfn = functions_.empty() ? nullptr : functions_.data();
        plugin_ = RenderPlugin::Create();
        PDEVOEM devOem = reinterpret_cast<PDEVOEM>(0x1);
        enableResult_ = plugin_->EnablePDEV(&devobj_, nullptr, 0, nullptr, sizeof(GDIINFO), &gdiInfo_, 0,
                                            nullptr, &enableData_, &devOem);
        devobj_.pdevOEM = devOem;
    }
    ~Device() {
        if (devobj_.pdevOEM != nullptr)
            plugin_->DisablePDEV(&devobj_);
        plugin_->Release();
    }
    Device(const Device&) = delete;
    Device& operator=(const Device&) = delete;

    HRESULT enableResult() const { return enableResult_; }
    DeviceHookState* state() { return klv::DeviceStateOf(&devobj_); }
    PDEVOBJ devobj() { return &devobj_; }

    // One distinct word per argument, the first being what the hook reaches
    // its device through.
    std::vector<Word> ArgumentsFor(const HookRow& row) {
        std::vector<Word> args;
        args.push_back(row.reach == Reach::Device ? ToWord(&devobj_) : ToWord(&surface_));
        for (unsigned i = 1; i < row.arguments; ++i)
            args.push_back(0x1000 + row.position * 0x40 + i);
        return args;
    }

private:
    std::vector<DRVFN> functions_;
    DEVOBJ devobj_{};
    SURFOBJ surface_{};
    GDIINFO gdiInfo_{};
    alignas(8) BYTE devmode_[klv::dm::kSize]{};
    DRVENABLEDATA enableData_{};
    RenderPlugin* plugin_ = nullptr;
    HRESULT enableResult_ = E_FAIL;
};

// The driver's array: every hooked index, listed in reverse table order and
// mixed with indices that are not hooked.
std::vector<DRVFN> FullDriverArray() {
    std::vector<DRVFN> functions;
    functions.push_back({1, reinterpret_cast<PFN>(0x11)});
    for (auto row = Rows().rbegin(); row != Rows().rend(); ++row) {
        functions.push_back({row->iFunc, row->fake});
        functions.push_back({row->iFunc + 200, reinterpret_cast<PFN>(0x22)});
    }
    return functions;
}

class HooksTest : public ::testing::Test {
protected:
    void SetUp() override {
        gCalls.clear();
        gDriverResult = 0;
    }
};

TEST_F(HooksTest, TableListsEachHookAtItsPosition) {
    ASSERT_EQ(Rows().size(), kHookCount);
    for (const HookRow& row : Rows()) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(klv::HookTable[row.position].iFunc, row.iFunc);
        EXPECT_EQ(klv::HookTable[row.position].pfn, row.hook);
        EXPECT_EQ(row.hookArity, row.arguments);
    }
}

TEST_F(HooksTest, EnableDriverHandsOverTheTable) {
    RenderPlugin* plugin = RenderPlugin::Create();
    const std::pair<DWORD, DWORD> versionsAndSizes[] = {
        {0, 0}, {0x00010000, sizeof(DRVENABLEDATA)}, {~0u, 3}};
    for (const auto& [version, size] : versionsAndSizes) {
        DRVENABLEDATA data{0xCCCCCCCC, 0xCCCCCCCC, nullptr};
        EXPECT_EQ(plugin->EnableDriver(version, size, &data), S_OK);
        EXPECT_EQ(data.iDriverVersion, 0x00010000u);
        EXPECT_EQ(data.c, 27u);
        EXPECT_EQ(data.pdrvfn, klv::HookTable);
    }
    EXPECT_EQ(plugin->DisableDriver(), S_OK);
    plugin->Release();
}

TEST_F(HooksTest, EachHookForwardsToTheDriversFunctionOfItsIndex) {
    Device device(FullDriverArray());
    ASSERT_EQ(device.enableResult(), S_OK);
    const Word results[] = {1, 0, 0x5A5A5A5A};
    for (const HookRow& row : Rows()) {
        if (row.reach == Reach::None)
            continue;
        SCOPED_TRACE(row.name);
        EXPECT_EQ(device.state()->savedFunctions[row.position], row.fake);
        for (Word result : results) {
            gCalls.clear();
            gDriverResult = result;
            const std::vector<Word> args = device.ArgumentsFor(row);
            EXPECT_EQ(row.invoke(args), result);
            ASSERT_EQ(gCalls.size(), 1u);
            EXPECT_EQ(gCalls[0].tag, row.position);
            EXPECT_EQ(gCalls[0].args, args);
        }
    }
}

TEST_F(HooksTest, RealizeBrushAnswersItselfEvenWhenTheDriverOffersOne) {
    const HookRow& row = Rows()[klv::kPosRealizeBrush];
    Device device(FullDriverArray());
    ASSERT_EQ(device.enableResult(), S_OK);
    EXPECT_EQ(device.state()->savedFunctions[klv::kPosRealizeBrush], row.fake);
    gDriverResult = 0;
    EXPECT_EQ(klv::HookRealizeBrush(nullptr, nullptr, nullptr, nullptr, nullptr, 0), TRUE);
    EXPECT_EQ(row.invoke(device.ArgumentsFor(row)), Word{TRUE});
    EXPECT_TRUE(gCalls.empty());
}

TEST_F(HooksTest, FirstRecordOfADuplicatedIndexWins) {
    for (const HookRow& row : Rows()) {
        SCOPED_TRACE(row.name);
        Device device({{row.iFunc, row.fake}, {row.iFunc, row.duplicate}});
        ASSERT_EQ(device.enableResult(), S_OK);
        EXPECT_EQ(device.state()->savedFunctions[row.position], row.fake);
    }
    const HookRow& bitBlt = Rows()[klv::kPosBitBlt];
    Device device({{bitBlt.iFunc, bitBlt.fake}, {bitBlt.iFunc, bitBlt.duplicate}});
    bitBlt.invoke(device.ArgumentsFor(bitBlt));
    ASSERT_EQ(gCalls.size(), 1u);
    EXPECT_EQ(gCalls[0].tag, bitBlt.position);
}

// Slots the driver does not fill get a stand-in that fails without calling
// anything; the device is enabled all the same.
TEST_F(HooksTest, MissingFunctionsGetAFailingStandIn) {
    struct Case {
        const char* name;
        std::vector<DRVFN> functions;
        ULONG count;
        std::vector<unsigned> offered; // positions that keep the driver's function
    };
    std::vector<DRVFN> withoutDeviceSupport = FullDriverArray();
    std::erase_if(withoutDeviceSupport,
                  [](const DRVFN& f) { return f.iFunc == INDEX_DrvQueryDeviceSupport; });
    std::vector<unsigned> allButDeviceSupport;
    for (unsigned i = 0; i + 1 < kHookCount; ++i)
        allButDeviceSupport.push_back(i);
    const HookRow& copyBits = Rows()[klv::kPosCopyBits];
    const HookRow& textOut = Rows()[klv::kPosTextOut];
    const Case cases[] = {
        {"no QueryDeviceSupport", withoutDeviceSupport, ~0u, allButDeviceSupport},
        {"count of 0", FullDriverArray(), 0, {}},
        {"no array", {}, 5, {}},
        {"count stops the walk", {{copyBits.iFunc, copyBits.fake}, {textOut.iFunc, textOut.fake}}, 1, {1}},
        {"null function offered", {{copyBits.iFunc, nullptr}, {copyBits.iFunc, copyBits.duplicate}}, ~0u, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Device device(c.functions, c.count);
        ASSERT_EQ(device.enableResult(), S_OK);
        for (const HookRow& row : Rows()) {
            SCOPED_TRACE(row.name);
            const bool offered =
                std::find(c.offered.begin(), c.offered.end(), row.position) != c.offered.end();
            if (offered) {
                EXPECT_EQ(device.state()->savedFunctions[row.position], row.fake);
                continue;
            }
            EXPECT_EQ(device.state()->savedFunctions[row.position], klv::MissingDriverFunction(row.position));
            gCalls.clear();
            gDriverResult = 0x77;
            EXPECT_EQ(row.invoke(device.ArgumentsFor(row)), row.failure);
            EXPECT_TRUE(gCalls.empty());
        }
    }
}

LONG gJobIdSeenByDriver = -1;
BOOL APIENTRY DriverStartDoc(SURFOBJ* pso, LPWSTR, DWORD) {
    DEVOBJ* devobj = reinterpret_cast<DEVOBJ*>(pso->dhpdev);
    gJobIdSeenByDriver = klv::DeviceStateOf(devobj)->jobId;
    return TRUE;
}

TEST_F(HooksTest, StartDocRecordsTheJobBeforeTheDriverRuns) {
    const DWORD jobIds[] = {7, 0x7FFFFFFF, 1};
    for (const bool offered : {true, false}) {
        std::vector<DRVFN> functions;
        if (offered)
            functions.push_back({INDEX_DrvStartDoc, klv::ToPfn(&DriverStartDoc)});
        Device device(functions);
        ASSERT_EQ(device.enableResult(), S_OK);
        EXPECT_EQ(device.state()->jobId, 0);
        EXPECT_EQ(device.state()->documentName[0], 0);
        SURFOBJ surface{};
        surface.dhpdev = reinterpret_cast<DHPDEV>(device.devobj());
        WCHAR name[] = KLV_W("report");
        for (DWORD jobId : jobIds) {
            gJobIdSeenByDriver = -1;
            EXPECT_EQ(klv::HookStartDoc(&surface, name, jobId), offered ? TRUE : FALSE);
            EXPECT_EQ(device.state()->jobId, static_cast<LONG>(jobId));
            EXPECT_EQ(gJobIdSeenByDriver, offered ? static_cast<LONG>(jobId) : -1);
        }
    }
}

TEST_F(HooksTest, ResetAndDisableSucceedWithoutTouchingTheDevices) {
    Device oldDevice(FullDriverArray());
    Device newDevice({});
    RenderPlugin* plugin = RenderPlugin::Create();
    const DeviceHookState oldCopy = *oldDevice.state();
    const PDEVOEM newBlock = newDevice.devobj()->pdevOEM;
    EXPECT_EQ(plugin->ResetPDEV(oldDevice.devobj(), newDevice.devobj()), S_OK);
    EXPECT_EQ(plugin->ResetPDEV(nullptr, nullptr), S_OK);
    EXPECT_EQ(newDevice.devobj()->pdevOEM, newBlock);
    EXPECT_EQ(std::memcmp(&oldCopy, oldDevice.state(), sizeof oldCopy), 0);

    DEVOBJ empty{};
    EXPECT_EQ(plugin->DisablePDEV(&empty), S_OK);
    klv::FreeDeviceHookState(nullptr);

    // The block is freed, pdevOEM left as it was.
    PDEVOBJ devobj = newDevice.devobj();
    EXPECT_EQ(plugin->DisablePDEV(devobj), S_OK);
    EXPECT_EQ(devobj->pdevOEM, newBlock);
    devobj->pdevOEM = nullptr; // so that the fixture does not free it again
    plugin->Release();
}

TEST_F(HooksTest, EnableFailsWhenTheBlockCannotBeAllocated) {
    RenderPlugin* plugin = RenderPlugin::Create();
    ASSERT_NE(plugin, nullptr);
    std::vector<DRVFN> functions = FullDriverArray();
    DRVENABLEDATA enableData{0x00010000, static_cast<ULONG>(functions.size()), functions.data()};
    DEVOBJ devobj{};
    GDIINFO gdiInfo{};
    PDEVOEM devOem = reinterpret_cast<PDEVOEM>(0x1);
    gFailNothrowNew = true;
    const HRESULT result = plugin->EnablePDEV(&devobj, nullptr, 0, nullptr, sizeof gdiInfo, &gdiInfo, 0,
                                              nullptr, &enableData, &devOem);
    gFailNothrowNew = false;
    EXPECT_EQ(result, E_FAIL);
    EXPECT_EQ(devOem, nullptr);
    plugin->Release();
}

} // namespace
