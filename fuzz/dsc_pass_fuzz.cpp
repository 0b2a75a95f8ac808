// The DSC pass over arbitrary bytes, as a print server receives them: with
// every option, a small line cap so long lines are cut into pieces, and an
// injector that answers every point. Whatever the input, the bytes the pass
// marks as the job's are the input itself: all of it when the job is served
// or copied, a prefix of it when the job is refused.
#include "fuzz/fuzz_check.h"
#include "tools/filter/dsc_pass.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <sstream>
#include <string>

namespace {

using namespace klv::filter;

class SplitOutput final : public DscOutput {
public:
    bool Write(std::string_view bytes, Origin origin) override {
        (origin == Origin::kJob ? job : inserted).append(bytes);
        return true;
    }
    std::string job;
    std::string inserted;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    DscOptions options;
    options.passThroughNonDsc = in.ConsumeBool();
    options.lineCap = in.ConsumeIntegralInRange<std::size_t>(8, 512);
    options.insertedLineEndings =
        in.ConsumeBool() ? InsertedLineEndings::kJobs : InsertedLineEndings::kAsWritten;
    const bool emptyText = in.ConsumeBool();
    const std::string input = in.ConsumeRemainingBytesAsString();

    std::istringstream stream(input);
    SplitOutput out;
    const Injector inject = [&](InjectionPoint point) {
        return emptyText ? std::string() : "%klv-point " + std::to_string(point) + "\r\n";
    };
    const DscResult result = RunDscPass(stream, out, inject, options);

    if (result.ok) {
        KLV_FUZZ_CHECK(out.job == input, "the job's bytes are not the input");
        if (result.passedThrough)
            KLV_FUZZ_CHECK(out.inserted.empty(), "a job copied unchanged got inserted text");
    } else {
        KLV_FUZZ_CHECK(input.compare(0, out.job.size(), out.job) == 0,
                       "a refused job's bytes are not a prefix");
        KLV_FUZZ_CHECK(!result.error.empty(), "a refused job without a reason");
    }
    KLV_FUZZ_CHECK(result.bytesRead <= input.size(), "read more than the input");
    return 0;
}
