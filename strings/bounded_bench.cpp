// Throughput of the string operations on the injection path.
#include "strings/bounded.h"
#include "strings/escape.h"
#include "watermark/format_inserts.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <string>

namespace {

void BM_BoundedCopy(benchmark::State& state) {
    const std::string source(static_cast<std::size_t>(state.range(0)), 'x');
    char buffer[780];
    for (auto _ : state) {
        benchmark::DoNotOptimize(klv::BoundedCopy(buffer, sizeof buffer, source.c_str()));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_BoundedCopy)->Arg(16)->Arg(128)->Arg(779);

void BM_BoundedAppend(benchmark::State& state) {
    char buffer[780];
    for (auto _ : state) {
        buffer[0] = '\0';
        for (int i = 0; i < 20; ++i)
            klv::BoundedAppend(buffer, sizeof buffer, "userdict /kelvo$NT true put\r\n");
        benchmark::DoNotOptimize(buffer);
    }
}
BENCHMARK(BM_BoundedAppend);

void BM_BoundedFormat(benchmark::State& state) {
    char buffer[16];
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            klv::BoundedFormat(buffer, sizeof buffer, "%1.2f %1.2f %1.2f", 0.9, 0.5, 1.0));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_BoundedFormat);

void BM_EscapePsString(benchmark::State& state) {
    std::string text;
    while (text.size() < 200)
        text += "Report (draft) \\ ";
    text.resize(200);
    char buffer[260];
    for (auto _ : state) {
        std::memcpy(buffer, text.c_str(), text.size() + 1);
        klv::EscapePsString(buffer, sizeof buffer);
        benchmark::DoNotOptimize(buffer);
    }
}
BENCHMARK(BM_EscapePsString);

void BM_FormatInsertsAlloc(benchmark::State& state) {
    std::string templateText;
    templateText += "userdict /DrawWaterMark {\r\n/Watermark (%1!S!) def\r\n/FontSize %2!d! def\r\n";
    templateText += "/WaterMarkColor {%3 setrgbcolor} bind def\r\n/Angle %4 def\r\n/Font /%5!S! def\r\n";
    while (templateText.size() < 809)
        templateText += "gsave initgraphics grestore\r\n";
    for (auto _ : state) {
        char* text = nullptr;
        benchmark::DoNotOptimize(
            klv::FormatInsertsAlloc(templateText.data(), static_cast<DWORD>(templateText.size()), &text,
                                    "WaterMark", 72u, "0.90 0.90 0.90", "30", "Helvetica"));
        delete[] text;
    }
}
BENCHMARK(BM_FormatInsertsAlloc);

} // namespace
