// Throughput of the DSC pass over a job held in memory, into an output that
// only counts: the pass's own cost, without the disk, the pipe or the
// plug-in. Run by hand: build/host/libraries/dsc/dsc_pass_bench
#include "libraries/dsc/dsc_pass.h"

#include <benchmark/benchmark.h>

#include <sstream>
#include <string>

namespace {

using namespace klv::dsc;

class CountingOutput : public DscOutput {
public:
    bool Write(std::string_view bytes, Origin) override {
        bytes_ += bytes.size();
        ++writes_;
        return true;
    }
    std::uint64_t bytes_ = 0;
    std::uint64_t writes_ = 0;
};

// Pages shaped like a text printer's: a page setup and 60 lines of text,
// with eol as the line ending; with binary, each page also carries a 16 KiB
// counted data section.
std::string TextJob(std::string_view eol, int pages, bool binary) {
    std::string job = "%!PS-Adobe-3.0" + std::string(eol) + "%%Pages: " + std::to_string(pages) +
                      std::string(eol) + "%%EndComments" + std::string(eol);
    for (int page = 1; page <= pages; ++page) {
        const std::string n = std::to_string(page);
        for (std::string_view line : {"%%Page: " + n + " " + n, std::string("%%BeginPageSetup"),
                                      std::string("_S 18 36 translate"), std::string("%%EndPageSetup")})
            job += std::string(line) + std::string(eol);
        for (int i = 0; i < 60; ++i)
            job += "5 " + std::to_string(757 - 11 * i) + " M (Line " + std::to_string(i) +
                   " of the quarterly report: revenue, costs and notes.) s" + std::string(eol);
        if (binary)
            job += "%%BeginBinary: 16384" + std::string(eol) + std::string(16384, '\x04') + std::string(eol) +
                   "%%EndBinary" + std::string(eol);
        job += "_R S" + std::string(eol) + "%%PageTrailer" + std::string(eol);
    }
    return job + "%%Trailer" + std::string(eol) + "%%EOF" + std::string(eol);
}

void RunPass(benchmark::State& state, const std::string& job) {
    const Injector inject = [](InjectionPoint point) {
        return point == kBeginPageSetup ? std::string("DrawWaterMark\r\n") : std::string();
    };
    std::uint64_t writes = 0;
    for (auto _ : state) {
        std::istringstream in(job);
        CountingOutput out;
        const DscResult result = RunDscPass(in, out, inject);
        benchmark::DoNotOptimize(result.pages);
        writes = out.writes_;
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * job.size()));
    state.counters["writes"] = static_cast<double>(writes);
}

void BM_DscPassText(benchmark::State& state) {
    static const char* const kEndings[] = {"\n", "\r\n", "\r"};
    RunPass(state, TextJob(kEndings[state.range(0)], 2000, false));
}
BENCHMARK(BM_DscPassText)->ArgName("eol")->Arg(0)->Arg(1)->Arg(2);

void BM_DscPassBinarySections(benchmark::State& state) {
    RunPass(state, TextJob("\n", 500, true));
}
BENCHMARK(BM_DscPassBinarySections);

} // namespace
