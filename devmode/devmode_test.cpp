#include "devmode/devmode.h"

#include "devmode/layout.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace klv {
namespace {

using Block = std::vector<BYTE>;

Block Filled(BYTE value, DWORD size = dm::kSize) {
    return Block(size, value);
}

// A block whose every byte differs from its neighbours, with the given header.
Block Patterned(DWORD size, DWORD signature, DWORD declaredSize, BYTE seed) {
    Block block(size);
    for (DWORD i = 0; i < size; ++i)
        block[i] = static_cast<BYTE>(seed + i * 7);
    dm::PutU32(block.data(), dm::kDwSize, declaredSize);
    dm::PutU32(block.data(), dm::kDwSignature, signature);
    dm::PutU32(block.data(), dm::kDwVersion, 1);
    return block;
}

Block Defaulted(BYTE fill = 0x5A) {
    Block block = Filled(fill);
    ApplyDevModeDefaults(block.data());
    return block;
}

std::u16string WideAt(const Block& block, DWORD offset, DWORD chars) {
    WCHAR buffer[129];
    const DWORD n = dm::ReadWide(block.data(), offset, chars, buffer, 129);
    return std::u16string(buffer, n);
}

HRESULT Call(DWORD mode, OEMDMPARAM* param) {
    SetLastError(0);
    return HandleDevMode(mode, param);
}

// The bytes that the defaults write, with their expected values.
const std::vector<std::pair<DWORD, std::vector<BYTE>>>& DefaultBytes() {
    static const std::vector<std::pair<DWORD, std::vector<BYTE>>> bytes = {
        {0, {0xE8, 0x06, 0x00, 0x00}},
        {4, {0x4F, 0x56, 0x4C, 0x4B}},
        {8, {0x02, 0x00, 0x00, 0x00}},
        {12, {0x00, 0x00}},
        {534, {0x00, 0x00}},
        {536, {0xFF, 0xFF}},
        {710, {0x00, 0x00}},
        {712, {30, 0x00}},
        {716, {72, 0x00, 0x00, 0x00}},
        {720, {0xE6, 0xE6, 0xE6, 0x00}},
        {724, {'W', 0, 'a', 0, 't', 0, 'e', 0, 'r', 0, 'M', 0, 'a', 0, 'r', 0, 'k', 0, 0, 0}},
        {1108, {'H', 0, 'e', 0, 'l', 0, 'v', 0, 'e', 0, 't', 0, 'i', 0, 'c', 0, 'a', 0, 0, 0}},
        {1756, {0x01}},
        {1760, {0x00, 0x00, 0x00, 0x00}},
    };
    return bytes;
}

TEST(HandleDevMode, SizeIgnoresTheBlocks) {
    BYTE in[4] = {1, 2, 3, 4};
    BYTE out[4] = {5, 6, 7, 8};
    const struct {
        void* input;
        void* output;
    } cases[] = {{nullptr, nullptr}, {in, nullptr}, {nullptr, out}, {in, out}};
    for (const auto& c : cases) {
        OEMDMPARAM param{};
        param.pOEMDMIn = c.input;
        param.pOEMDMOut = c.output;
        param.cbBufSize = 3;
        EXPECT_EQ(Call(OEMDM_SIZE, &param), S_OK);
        EXPECT_EQ(param.cbBufSize, 1768u);
    }
    EXPECT_EQ(in[0], 1);
    EXPECT_EQ(out[0], 5);
}

TEST(HandleDevMode, RejectedCallsWriteNothing) {
    Block in = Defaulted();
    Block out = Filled(0xFF);
    const struct {
        const char* name;
        DWORD mode;
        bool nullParam;
        bool nullOutput;
    } cases[] = {
        {"mode 0", 0, false, false},
        {"mode 5", 5, false, false},
        {"mode 0xFFFFFFFF", 0xFFFFFFFF, false, false},
        {"null param, size", OEMDM_SIZE, true, false},
        {"null param, merge", OEMDM_MERGE, true, false},
        {"defaults without output", OEMDM_DEFAULT, false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        OEMDMPARAM param{};
        param.pOEMDMIn = in.data();
        param.pOEMDMOut = c.nullOutput ? nullptr : out.data();
        param.cbBufSize = 7;
        EXPECT_EQ(Call(c.mode, c.nullParam ? nullptr : &param), E_FAIL);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
        EXPECT_EQ(param.cbBufSize, 7u);
        EXPECT_EQ(out, Filled(0xFF));
    }
}

TEST(HandleDevMode, DefaultsWriteOnlyTheirFields) {
    Block block = Filled(0xFF);
    OEMDMPARAM param{};
    param.pOEMDMOut = block.data();
    ASSERT_EQ(Call(OEMDM_DEFAULT, &param), S_OK);

    std::vector<bool> written(dm::kSize, false);
    for (const auto& [offset, bytes] : DefaultBytes()) {
        for (size_t i = 0; i < bytes.size(); ++i) {
            EXPECT_EQ(block[offset + i], bytes[i]) << "byte " << offset + i;
            written[offset + i] = true;
        }
    }
    for (DWORD i = 0; i < dm::kSize; ++i) {
        if (!written[i]) {
            EXPECT_EQ(block[i], 0xFF) << "byte " << i;
        }
    }
}

TEST(HandleDevMode, DefaultsOnAnOddlyAlignedBlock) {
    Block storage = Filled(0x11, dm::kSize + 1);
    ApplyDevModeDefaults(storage.data() + 1);
    Block block(storage.begin() + 1, storage.end());
    EXPECT_EQ(WideAt(block, dm::kSzWatermarkText, 128), u"WaterMark");
    EXPECT_EQ(WideAt(block, dm::kSzWatermarkFont, 64), u"Helvetica");
    EXPECT_EQ(storage[0], 0x11);
}

TEST(ConvertDevMode, FullBlockOfTheSameSignature) {
    Block in = Patterned(dm::kSize, dm::kSignature, dm::kSize, 3);
    Block out = Defaulted();
    OEMDMPARAM param{};
    param.pOEMDMIn = in.data();
    param.pOEMDMOut = out.data();
    ASSERT_EQ(Call(OEMDM_CONVERT, &param), S_OK);

    Block expected = in;
    dm::PutU32(expected.data(), dm::kDwSize, dm::kSize);
    dm::PutU32(expected.data(), dm::kDwVersion, dm::kVersion);
    EXPECT_EQ(out, expected);
}

TEST(ConvertDevMode, OlderShorterBlockKeepsTheCurrentDefaults) {
    // The input buffer is only as long as it claims, so a read past it shows.
    Block in = Patterned(536, dm::kSignature, 536, 9);
    dm::PutS16(in.data(), dm::kSFlip, 1);
    Block out = Defaulted();
    std::memset(out.data() + dm::kSzJobName, 0x41, 162 + 10);
    const Block before = out;

    ASSERT_TRUE(ConvertDevMode(in.data(), out.data()));
    EXPECT_TRUE(std::equal(out.begin() + 12, out.begin() + 536, in.begin() + 12));
    EXPECT_EQ(dm::U32(out.data(), dm::kDwSize), 1768u);
    EXPECT_EQ(dm::U32(out.data(), dm::kDwSignature), dm::kSignature);
    EXPECT_EQ(dm::U32(out.data(), dm::kDwVersion), 2u);
    EXPECT_EQ(dm::S16(out.data(), dm::kSFlip), 1);
    // Everything past the copied part is as the defaults left it.
    EXPECT_TRUE(std::equal(out.begin() + 536, out.end(), before.begin() + 536));
}

TEST(ConvertDevMode, ForeignSignatureFallsBackToDefaults) {
    Block in = Patterned(dm::kSize, 0x12345678, dm::kSize, 5);
    Block out = Patterned(dm::kSize, dm::kSignature, dm::kSize, 77);
    dm::PutS16(out.data(), dm::kSFlip, 4);
    Block expected = out;
    ApplyDevModeDefaults(expected.data());

    ASSERT_TRUE(ConvertDevMode(in.data(), out.data()));
    EXPECT_EQ(out, expected);
}

TEST(ConvertDevMode, OutputSignatureDecidesNotTheConstant) {
    // Both blocks carry the same foreign signature: the input is copied.
    Block in = Patterned(dm::kSize, 0x01020304, dm::kSize, 1);
    Block out = Patterned(dm::kSize, 0x01020304, dm::kSize, 2);
    ASSERT_TRUE(ConvertDevMode(in.data(), out.data()));
    EXPECT_TRUE(std::equal(out.begin() + 12, out.end(), in.begin() + 12));
    EXPECT_EQ(dm::U32(out.data(), dm::kDwSignature), 0x01020304u);
}

TEST(ConvertDevMode, SizesClaimingMoreThanABlockCopyOneBlock) {
    // Exactly sized buffers: a copy past 1768 bytes would overrun them.
    const struct {
        const char* name;
        DWORD inSize;
        DWORD outSize;
    } cases[] = {
        {"input claims more", 0xFFFFFFFF, dm::kSize},
        {"output claims more", dm::kSize, 5000},
        {"both claim more", 0x80000000, 0xFFFFFFF0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Block in = Patterned(dm::kSize, dm::kSignature, c.inSize, 11);
        Block out = Patterned(dm::kSize, dm::kSignature, c.outSize, 12);
        OEMDMPARAM param{};
        param.pOEMDMIn = in.data();
        param.pOEMDMOut = out.data();
        ASSERT_EQ(Call(OEMDM_CONVERT, &param), S_OK);
        EXPECT_EQ(out.size(), dm::kSize);
        EXPECT_TRUE(std::equal(out.begin() + 12, out.end(), in.begin() + 12));
        EXPECT_EQ(dm::U32(out.data(), dm::kDwSize), 1768u);
    }
}

TEST(ConvertDevMode, MissingBlocksAreLeftAlone) {
    Block block = Filled(0xFF);
    EXPECT_FALSE(ConvertDevMode(nullptr, block.data()));
    EXPECT_FALSE(ConvertDevMode(block.data(), nullptr));
    EXPECT_EQ(block, Filled(0xFF));

    OEMDMPARAM param{};
    param.pOEMDMOut = block.data();
    EXPECT_EQ(Call(OEMDM_CONVERT, &param), S_OK);
    EXPECT_EQ(block, Filled(0xFF));
}

TEST(MergeDevMode, SelectionIsLimitedToTwo) {
    const struct {
        std::int16_t input;
        std::int16_t merged;
    } cases[] = {{3, 0}, {2, 2}, {-5, -5}, {0, 0}, {0x7FFF, 0}, {-32768, -32768}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.input);
        Block in = Defaulted(0x22);
        dm::PutS16(in.data(), dm::kSSelection, c.input);
        dm::PutS16(in.data(), dm::kSWatermarkAngle, 400);
        Block out = Defaulted(0x33);
        OEMDMPARAM param{};
        param.pOEMDMIn = in.data();
        param.pOEMDMOut = out.data();
        ASSERT_EQ(Call(OEMDM_MERGE, &param), S_OK);
        EXPECT_EQ(dm::S16(out.data(), dm::kSSelection), c.merged);
        // Nothing else is corrected.
        EXPECT_EQ(dm::S16(out.data(), dm::kSWatermarkAngle), 400);
    }
}

TEST(MergeDevMode, NullInputStillValidatesTheOutput) {
    Block out = Patterned(dm::kSize, 0xDEADBEEF, 99, 40);
    dm::PutS16(out.data(), dm::kSSelection, 7);
    Block expected = out;
    dm::PutU32(expected.data(), dm::kDwSize, 1768);
    dm::PutU32(expected.data(), dm::kDwSignature, dm::kSignature);
    dm::PutU32(expected.data(), dm::kDwVersion, 2);
    dm::PutS16(expected.data(), dm::kSSelection, 0);

    OEMDMPARAM param{};
    param.pOEMDMOut = out.data();
    EXPECT_EQ(Call(OEMDM_MERGE, &param), S_OK);
    EXPECT_EQ(out, expected);

    param.pOEMDMOut = nullptr;
    EXPECT_EQ(Call(OEMDM_MERGE, &param), S_OK);
    EXPECT_FALSE(ValidateDevMode(nullptr));
}

} // namespace
} // namespace klv
