// klvps's device-mode reader (every field of any 1768-byte block as JSON)
// and its FIELD=VALUE parser, over arbitrary blocks and assignments.
#include "devmode/layout.h"
#include "fuzz/fuzz_check.h"
#include "libraries/settings/devmode_fields.h"
#include "programs/klvps/devmode_json.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <string>
#include <vector>

using namespace klv::settings;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    std::vector<std::uint8_t> block = in.ConsumeBytes<std::uint8_t>(klv::dm::kSize);
    if (in.ConsumeIntegralInRange(0, 31) != 0)
        block.resize(klv::dm::kSize, 0);

    for (int count = in.ConsumeIntegralInRange(1, 4); count > 0 && in.remaining_bytes() > 0; --count) {
        std::string assignment = in.ConsumeRandomLengthString(400);
        // Aim most assignments at a real field.
        if (in.ConsumeBool())
            assignment = std::string(in.PickValueInArray<const char*>(
                             {"dwSize=", "sSelection=", "szJobName=", "szJobPassword=", "sWatermarkAngle=",
                              "lWatermarkSize=", "rgbWatermarkColor=", "szWatermarkText=", "szWatermarkFont=",
                              "bOptionFlag=", "dwOptionValue="})) +
                         assignment;
        const std::vector<std::uint8_t> before = block;
        std::string error;
        if (!ApplyAssignment(block, assignment, &error)) {
            KLV_FUZZ_CHECK(block == before, "a refused assignment changed the block");
            KLV_FUZZ_CHECK(!error.empty(), "a refusal without a message");
        } else {
            KLV_FUZZ_CHECK(block.size() == klv::dm::kSize, "an assignment resized the block");
        }
    }

    // `klvps devmode show` prints this; it must be valid JSON text.
    const std::string shown = klv::cli::DevModeToJson(block).dump(2);
    if (block.size() == klv::dm::kSize)
        KLV_FUZZ_CHECK(nlohmann::json::parse(shown).size() == Fields().size(), "not every field shown");
    return 0;
}
