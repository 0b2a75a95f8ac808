// DevMode in every mode over arbitrary blocks: any header claims, foreign
// signatures, missing blocks. The output block is exactly the size the
// plug-in asks for, on the heap, so AddressSanitizer sees any write beyond
// it; the input block holds what its header claims (up to one full block),
// as the driver's stored blocks do, plus some slack.
#include "devmode/layout.h"
#include "fuzz/fuzz_check.h"
#include "module/plugin.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

namespace {

using namespace klv;

std::vector<BYTE> Block(FuzzedDataProvider& in, size_t size, std::uint32_t claimedSize, bool ownSignature) {
    std::vector<BYTE> block = in.ConsumeBytes<BYTE>(size);
    block.resize(size, 0xA5);
    dm::PutU32(block.data(), dm::kDwSize, claimedSize);
    if (ownSignature)
        dm::PutU32(block.data(), dm::kDwSignature, dm::kSignature);
    return block;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    static const DWORD kModes[] = {OEMDM_SIZE, OEMDM_DEFAULT, OEMDM_CONVERT, OEMDM_MERGE};
    const DWORD mode = in.ConsumeBool() ? in.ConsumeIntegral<DWORD>() : in.PickValueInArray(kModes);
    const bool withInput = in.ConsumeIntegralInRange(0, 7) != 0;
    const bool withOutput = in.ConsumeIntegralInRange(0, 7) != 0;
    const std::uint32_t inputClaim = in.ConsumeIntegral<std::uint32_t>();
    const std::uint32_t outputClaim = in.ConsumeBool() ? dm::kSize : in.ConsumeIntegral<std::uint32_t>();
    const bool inputOwnSignature = in.ConsumeBool();
    // The driver hands over an output block that the plug-in filled before
    // (with defaults, or the current settings), so it carries our
    // signature, though its size word may be anything.
    const bool outputOwnSignature = true;
    const size_t inputSize = std::max<size_t>(12, std::min<std::uint32_t>(inputClaim, dm::kSize)) +
                             in.ConsumeIntegralInRange(0, 16);

    std::vector<BYTE> output = Block(in, dm::kSize, outputClaim, outputOwnSignature);
    std::vector<BYTE> input = Block(in, inputSize, inputClaim, inputOwnSignature);
    // Exact-size heap copies: a write or read past either end is reported.
    std::unique_ptr<BYTE[]> outputBlock(new BYTE[output.size()]);
    std::unique_ptr<BYTE[]> inputBlock(new BYTE[input.size()]);
    std::memcpy(outputBlock.get(), output.data(), output.size());
    std::memcpy(inputBlock.get(), input.data(), input.size());

    OEMDMPARAM param{};
    param.cbSize = sizeof(param);
    param.pOEMDMIn = withInput ? inputBlock.get() : nullptr;
    param.pOEMDMOut = withOutput ? outputBlock.get() : nullptr;
    param.cbBufSize = dm::kSize;

    RenderPlugin* plugin = RenderPlugin::Create();
    KLV_FUZZ_CHECK(plugin != nullptr, "no plug-in object");
    const HRESULT hr = plugin->DevMode(mode, &param);
    plugin->Release();

    KLV_FUZZ_CHECK(std::memcmp(inputBlock.get(), input.data(), input.size()) == 0, "the input block changed");
    const BYTE* out = outputBlock.get();
    // Merge validates the output block even when there is nothing to merge.
    const bool wrote =
        withOutput && (mode == OEMDM_DEFAULT || mode == OEMDM_MERGE || (withInput && mode == OEMDM_CONVERT));
    if (mode == OEMDM_SIZE) {
        KLV_FUZZ_CHECK(hr == S_OK && param.cbBufSize == dm::kSize, "size query");
    } else if (mode != OEMDM_DEFAULT && mode != OEMDM_CONVERT && mode != OEMDM_MERGE) {
        KLV_FUZZ_CHECK(FAILED(hr), "an unknown mode succeeded");
    }
    if (!wrote) {
        KLV_FUZZ_CHECK(std::memcmp(out, output.data(), output.size()) == 0,
                       "a block was written without cause");
        return 0;
    }
    KLV_FUZZ_CHECK(hr == S_OK, "a served mode failed");
    KLV_FUZZ_CHECK(dm::U32(out, dm::kDwSize) == dm::kSize &&
                       dm::U32(out, dm::kDwSignature) == dm::kSignature &&
                       dm::U32(out, dm::kDwVersion) == dm::kVersion,
                   "the header is not the current one");
    if (mode == OEMDM_MERGE)
        KLV_FUZZ_CHECK(dm::S16(out, dm::kSSelection) <= 2, "merge left sSelection above 2");
    if (mode != OEMDM_DEFAULT && withInput && inputOwnSignature && outputOwnSignature) {
        // A block of our own is carried over, as far as both headers allow.
        const std::uint32_t carried = std::min<std::uint32_t>({inputClaim, outputClaim, dm::kSize});
        const size_t from = mode == OEMDM_MERGE ? dm::kSSelection + 2 : dm::kDwVersion + 4;
        for (size_t i = from; i < carried; ++i)
            KLV_FUZZ_CHECK(out[i] == input[i], "byte " + std::to_string(i) + " was not carried over");
    }
    return 0;
}
