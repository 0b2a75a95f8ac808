// The DSC pass over arbitrary bytes, as a print server receives them: with
// every option, a small line cap so long lines are cut into pieces, and an
// injector that answers every point. Whatever the input, the bytes the pass
// marks as the job's are the input itself: all of it when the job is served
// or copied, a prefix of it when the job is refused. And however the input
// arrives, in reads of one byte or of 64 KiB, the output is the same.
#include "fuzz/fuzz_check.h"
#include "libraries/dsc/dsc_pass.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <sstream>
#include <string>

namespace {

using namespace klv::dsc;

class SplitOutput final : public DscOutput {
public:
    bool Write(std::string_view bytes, Origin origin) override {
        (origin == Origin::kJob ? job : inserted).append(bytes);
        whole.append(bytes);
        return true;
    }
    std::string job;
    std::string inserted;
    std::string whole;
};

struct Run {
    DscResult result;
    SplitOutput out;
};

Run RunPass(const std::string& input, const Injector& inject, const DscOptions& options) {
    std::istringstream stream(input);
    Run run;
    run.result = RunDscPass(stream, run.out, inject, options);
    return run;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    DscOptions options;
    options.passThroughNonDsc = in.ConsumeBool();
    options.lineCap = in.ConsumeIntegralInRange<std::size_t>(8, 512);
    options.insertedLineEndings =
        in.ConsumeBool() ? InsertedLineEndings::kJobs : InsertedLineEndings::kAsWritten;
    const bool emptyText = in.ConsumeBool();
    const std::size_t smallReadSize = in.ConsumeIntegralInRange<std::size_t>(1, 64);
    const std::string input = in.ConsumeRemainingBytesAsString();

    const Injector inject = [&](InjectionPoint point) {
        return emptyText ? std::string() : "%klv-point " + std::to_string(point) + "\r\n";
    };
    const Run run = RunPass(input, inject, options);
    const DscResult& result = run.result;
    const SplitOutput& out = run.out;

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

    options.readSize = smallReadSize;
    const Run small = RunPass(input, inject, options);
    KLV_FUZZ_CHECK(small.out.whole == out.whole && small.out.job == out.job,
                   "the output depends on the size of the reads");
    KLV_FUZZ_CHECK(
        small.result.ok == result.ok && small.result.error == result.error &&
            small.result.served == result.served && small.result.pages == result.pages &&
            small.result.passedThrough == result.passedThrough &&
            small.result.truncated == result.truncated && small.result.bytesRead == result.bytesRead &&
            small.result.warnings == result.warnings && small.result.lineEnding == result.lineEnding,
        "the result depends on the size of the reads");
    return 0;
}
