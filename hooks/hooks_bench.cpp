// Cost of a hooked drawing call against calling the driver's function
// directly through a pointer, as the engine would without the plug-in.
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

// The shared test device with the driver's two functions above.
klv::testing::TestDevice MakeDevice() {
    return klv::testing::TestDevice({{INDEX_DrvStartPage, KLV_FUNCTION_CAST(PFN, &DriverStartPage)},
                                     {INDEX_DrvBitBlt, KLV_FUNCTION_CAST(PFN, &DriverBitBlt)}});
}

void DirectStartPage(benchmark::State& state) {
    klv::testing::TestDevice device = MakeDevice();
    PFN_DrvStartPage call = &DriverStartPage;
    SURFOBJ* pso = &device.surface;
    for (auto _ : state) {
        benchmark::DoNotOptimize(call);
        benchmark::DoNotOptimize(call(pso));
    }
}
BENCHMARK(DirectStartPage);

void HookedStartPage(benchmark::State& state) {
    klv::testing::TestDevice device = MakeDevice();
    PFN_DrvStartPage call = &klv::HookStartPage;
    SURFOBJ* pso = &device.surface;
    for (auto _ : state) {
        benchmark::DoNotOptimize(call);
        benchmark::DoNotOptimize(call(pso));
    }
}
BENCHMARK(HookedStartPage);

void DirectBitBlt(benchmark::State& state) {
    klv::testing::TestDevice device = MakeDevice();
    PFN_DrvBitBlt call = &DriverBitBlt;
    SURFOBJ* pso = &device.surface;
    for (auto _ : state) {
        benchmark::DoNotOptimize(call);
        benchmark::DoNotOptimize(
            call(pso, pso, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, 0xCCAA));
    }
}
BENCHMARK(DirectBitBlt);

void HookedBitBlt(benchmark::State& state) {
    klv::testing::TestDevice device = MakeDevice();
    PFN_DrvBitBlt call = &klv::HookBitBlt;
    SURFOBJ* pso = &device.surface;
    for (auto _ : state) {
        benchmark::DoNotOptimize(call);
        benchmark::DoNotOptimize(
            call(pso, pso, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, 0xCCAA));
    }
}
BENCHMARK(HookedBitBlt);

} // namespace
