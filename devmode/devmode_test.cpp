#include "devmode/devmode.h"

#include "devmode/layout.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace klv {
namespace {

using namespace std::string_literals;
using Block = std::vector<BYTE>;

// A block whose every byte differs from its neighbours, with the given declared
// size and signature; its version is not the current one.
Block Patterned(DWORD size, DWORD signature, DWORD declaredSize, BYTE seed) {
    Block block(size);
    for (DWORD i = 0; i < size; ++i)
        block[i] = static_cast<BYTE>(seed + i * 7);
    dm::PutU32(block.data(), dm::kDwSize, declaredSize);
    dm::PutU32(block.data(), dm::kDwSignature, signature);
    return block;
}

// The result, the size word (7 before the call) and the last error.
using Outcome = std::tuple<HRESULT, DWORD, DWORD>;
const Outcome kDone{S_OK, 7, 0};

Outcome Call(DWORD mode, const void* in, void* out) {
    OEMDMPARAM param{};
    param.pOEMDMIn = const_cast<void*>(in);
    param.pOEMDMOut = out;
    param.cbBufSize = 7;
    SetLastError(0);
    const HRESULT result = HandleDevMode(mode, &param);
    return {result, param.cbBufSize, GetLastError()};
}

TEST(HandleDevMode, AnswersTheSizeAndRejectsWhatItCannotDo) {
    Block in(dm::kSize, 0xEE), out(dm::kSize, 0xFF);
    const Outcome size{S_OK, 1768, 0}, rejected{E_FAIL, 7, ERROR_INVALID_PARAMETER};
    const std::tuple<DWORD, void*, void*, Outcome> cases[] = {
        {OEMDM_SIZE, nullptr, nullptr, size},      {OEMDM_SIZE, in.data(), nullptr, size},
        {OEMDM_SIZE, in.data(), out.data(), size}, {0, in.data(), out.data(), rejected},
        {5, in.data(), out.data(), rejected},      {OEMDM_DEFAULT, in.data(), nullptr, rejected}};
    for (const auto& [mode, input, output, outcome] : cases)
        EXPECT_EQ(Call(mode, input, output), outcome) << mode;
    EXPECT_EQ(in, Block(dm::kSize, 0xEE));
    EXPECT_EQ(out, Block(dm::kSize, 0xFF));
    SetLastError(0);
    EXPECT_EQ(HandleDevMode(OEMDM_MERGE, nullptr), E_FAIL);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST(HandleDevMode, DefaultsWriteOnlyTheirFields) {
    // The block at an odd address in 0xFF storage; every byte not listed here
    // keeps its 0xFF.
    Block expected(dm::kSize + 1, 0xFF);
    for (const auto& [offset, bytes] :
         {std::pair<DWORD, std::string>{0, "\xE8\x06\0\0OVLK\2\0\0\0\0\0"s},
          {534, "\0\0\xFF\xFF"s},
          {710, "\0\0\x1E\0\xFF\xFFH\0\0\0\xE6\xE6\xE6\0"s + "W\0a\0t\0e\0r\0M\0a\0r\0k\0\0\0"s},
          {1108, "H\0e\0l\0v\0e\0t\0i\0c\0a\0\0\0"s},
          {1756, "\1\xFF\xFF\xFF\0\0\0\0"s}})
        std::copy(bytes.begin(), bytes.end(), expected.begin() + 1 + offset);
    Block storage(dm::kSize + 1, 0xFF);
    ASSERT_EQ(Call(OEMDM_DEFAULT, nullptr, storage.data() + 1), kDone);
    EXPECT_EQ(storage, expected);
}

TEST(ConvertDevMode, CopiesAMatchingBlockWithinBothSizes) {
    constexpr DWORD n = dm::kSize, sig = dm::kSignature;
    // Bytes not taken from the input hold the output's defaults.
    struct Case {
        DWORD inBytes; // length of the input buffer: a read past it shows
        DWORD inSignature, inSize;
        DWORD outSignature, outSize;
        DWORD copied; // bytes taken from the input
    };
    const Case cases[] = {{n, sig, n, sig, n, n},                    // same signature
                          {536, sig, 536, sig, n, 536},              // older, shorter block
                          {n, 0x12345678, n, sig, n, 12},            // foreign signature
                          {n, 0x01020304, n, 0x01020304, n, n},      // the output's signature decides
                          {n, sig, 0x80000000, sig, 0xFFFFFFF0, n}}; // sizes claiming more than a block
    for (const auto& [inBytes, inSignature, inSize, outSignature, outSize, copied] : cases) {
        SCOPED_TRACE(std::to_string(inSize) + " " + std::to_string(outSize));
        const Block in = Patterned(inBytes, inSignature, inSize, 3);
        Block out = Patterned(n, outSignature, outSize, 77);
        Block expected = out;
        ApplyDevModeDefaults(expected.data());
        dm::PutU32(expected.data(), dm::kDwSignature, outSignature);
        std::copy(in.begin() + 12, in.begin() + copied, expected.begin() + 12);
        ASSERT_EQ(Call(OEMDM_CONVERT, in.data(), out.data()), kDone);
        EXPECT_EQ(out, expected);
    }
    Block block(n, 0xFF);
    EXPECT_FALSE(ConvertDevMode(block.data(), nullptr));
    EXPECT_EQ(Call(OEMDM_CONVERT, nullptr, block.data()), kDone);
    EXPECT_EQ(block, Block(n, 0xFF));
}

TEST(MergeDevMode, SelectionIsLimitedToTwo) {
    for (const auto& [input, merged] : {std::pair<short, short>{3, 0}, {2, 2}, {-5, -5}}) {
        Block in(dm::kSize, 0x22), out(dm::kSize, 0x33);
        ApplyDevModeDefaults(in.data());
        ApplyDevModeDefaults(out.data());
        dm::PutS16(in.data(), dm::kSSelection, input);
        dm::PutS16(in.data(), dm::kSWatermarkAngle, 400);
        ASSERT_EQ(Call(OEMDM_MERGE, in.data(), out.data()), kDone);
        EXPECT_EQ(dm::S16(out.data(), dm::kSSelection), merged) << input;
        EXPECT_EQ(dm::S16(out.data(), dm::kSWatermarkAngle), 400) << "nothing else is corrected";
    }
    // Without an input the output is still validated.
    Block out = Patterned(dm::kSize, 0xDEADBEEF, 99, 40);
    dm::PutS16(out.data(), dm::kSSelection, 7);
    Block expected = out;
    std::copy_n("\xE8\x06\0\0OVLK\2\0\0\0\0\0", 14, expected.begin());
    EXPECT_EQ(Call(OEMDM_MERGE, nullptr, out.data()), kDone);
    EXPECT_EQ(out, expected);
    EXPECT_EQ(Call(OEMDM_MERGE, nullptr, nullptr), kDone);
}

} // namespace
} // namespace klv
