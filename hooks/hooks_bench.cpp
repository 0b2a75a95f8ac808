// Cost of a hooked drawing call against calling the driver's function
// directly through a pointer, as the engine would without the plug-in, and
// of building a device's block of saved functions.
#include "hooks/device_state.h"
#include "hooks/hook_table.h"
#include "hooks/hooks.h"
#include "testing/test_device.h"

#include <benchmark/benchmark.h>

namespace {

__attribute__((noinline)) BOOL APIENTRY DriverStartPage(SURFOBJ* pso) {
    benchmark::DoNotOptimize(pso);
    return TRUE;
}

__attribute__((noinline)) BOOL APIENTRY DriverBitBlt(SURFOBJ* psoTrg, SURFOBJ*, SURFOBJ*, CLIPOBJ*, XLATEOBJ*,
                                                     RECTL*, POINTL*, POINTL*, BRUSHOBJ*, POINTL*,
                                                     ROP4 rop4) {
    benchmark::DoNotOptimize(psoTrg);
    return rop4 != 0;
}

// The driver's array as a driver hands it over: a function for every hooked
// index, the measured ones being the two above and the others stand-ins.
struct DriverArray {
    DRVFN functions[klv::kHookCount] = {
#define KLV_DRIVER_FUNCTION(Name, index, position, failure) {index, klv::MissingDriverFunction(position)},
        KLV_HOOKED_DDI_FUNCTIONS(KLV_DRIVER_FUNCTION)
#undef KLV_DRIVER_FUNCTION
    };
    DRVENABLEDATA enableData{0x00010000, klv::kHookCount, functions};

    DriverArray() {
        functions[klv::kPosStartPage].pfn = KLV_FUNCTION_CAST(PFN, &DriverStartPage);
        functions[klv::kPosBitBlt].pfn = KLV_FUNCTION_CAST(PFN, &DriverBitBlt);
    }
};

// The shared test device over that array.
klv::testing::TestDevice MakeDevice() {
    const DriverArray driver;
    return klv::testing::TestDevice(
        std::vector<DRVFN>(std::begin(driver.functions), std::end(driver.functions)));
}

// EnablePDEV's part: the device's block, filled from the driver's array.
void BM_BuildDeviceHookState(benchmark::State& state) {
    DriverArray driver;
    DEVOBJ devobj{};
    for (auto _ : state) {
        devobj.pdevOEM = klv::BuildDeviceHookState(&devobj, nullptr, 0, nullptr, 0, nullptr, 0, nullptr,
                                                   &driver.enableData);
        benchmark::DoNotOptimize(devobj.pdevOEM);
        klv::FreeDeviceHookState(&devobj);
    }
}
BENCHMARK(BM_BuildDeviceHookState);

void BM_DirectStartPage(benchmark::State& state) {
    klv::testing::TestDevice device = MakeDevice();
    PFN_DrvStartPage call = &DriverStartPage;
    SURFOBJ* pso = &device.surface;
    for (auto _ : state) {
        benchmark::DoNotOptimize(call);
        benchmark::DoNotOptimize(call(pso));
    }
}
BENCHMARK(BM_DirectStartPage);

void BM_HookedStartPage(benchmark::State& state) {
    klv::testing::TestDevice device = MakeDevice();
    PFN_DrvStartPage call = &klv::HookStartPage;
    SURFOBJ* pso = &device.surface;
    for (auto _ : state) {
        benchmark::DoNotOptimize(call);
        benchmark::DoNotOptimize(call(pso));
    }
}
BENCHMARK(BM_HookedStartPage);

void BM_DirectBitBlt(benchmark::State& state) {
    klv::testing::TestDevice device = MakeDevice();
    PFN_DrvBitBlt call = &DriverBitBlt;
    SURFOBJ* pso = &device.surface;
    for (auto _ : state) {
        benchmark::DoNotOptimize(call);
        benchmark::DoNotOptimize(
            call(pso, pso, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, 0xCCAA));
    }
}
BENCHMARK(BM_DirectBitBlt);

void BM_HookedBitBlt(benchmark::State& state) {
    klv::testing::TestDevice device = MakeDevice();
    PFN_DrvBitBlt call = &klv::HookBitBlt;
    SURFOBJ* pso = &device.surface;
    for (auto _ : state) {
        benchmark::DoNotOptimize(call);
        benchmark::DoNotOptimize(
            call(pso, pso, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, 0xCCAA));
    }
}
BENCHMARK(BM_HookedBitBlt);

} // namespace
