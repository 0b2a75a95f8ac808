#include "devmode/devmode.h"

#include "devmode/layout.h"
#include "strings/bounded.h"

#include <algorithm>
#include <cstring>

namespace klv {

namespace {

constexpr WCHAR kDefaultWatermarkText[] = KLV_W("WaterMark");
constexpr WCHAR kDefaultWatermarkFont[] = KLV_W("Helvetica");
constexpr DWORD kDefaultWatermarkColor = 0x00E6E6E6;
constexpr std::int16_t kDefaultWatermarkAngle = 30;
constexpr std::uint32_t kDefaultWatermarkSize = 72;

// Writes a default string into a wide field. The text is bounded to the
// field in a local buffer, then stored unit by unit in little-endian order up
// to and including its terminator; the rest of the field is left alone. This
// keeps the store independent of the block's alignment.
template <DWORD FieldChars> void PutWideDefault(BYTE* block, DWORD offset, const WCHAR* text) {
    WCHAR bounded[FieldChars];
    BoundedCopyWide(bounded, FieldChars, text);
    for (DWORD i = 0; i < FieldChars; ++i) {
        dm::PutU16(block, offset + 2 * i, static_cast<std::uint16_t>(bounded[i]));
        if (bounded[i] == 0)
            break;
    }
}

void PutWatermarkStrings(BYTE* block) {
    PutWideDefault<dm::kWatermarkFontChars>(block, dm::kSzWatermarkFont, kDefaultWatermarkFont);
    PutWideDefault<dm::kWatermarkTextChars>(block, dm::kSzWatermarkText, kDefaultWatermarkText);
}

void PutHeader(BYTE* block) {
    dm::PutU32(block, dm::kDwSize, dm::kSize);
    dm::PutU32(block, dm::kDwSignature, dm::kSignature);
    dm::PutU32(block, dm::kDwVersion, dm::kVersion);
}

// The defaulted fields outside the header, the flip flag and the two strings.
void PutSettingDefaults(BYTE* block) {
    dm::PutS16(block, dm::kSFullPage, -1);
    dm::PutU32(block, dm::kDwOptionValue, 0);
    dm::PutByte(block, dm::kBOptionFlag, 1);
    dm::PutU32(block, dm::kRgbWatermarkColor, kDefaultWatermarkColor);
    dm::PutU32(block, dm::kLWatermarkSize, kDefaultWatermarkSize);
    dm::PutS16(block, dm::kSWatermarkAngle, kDefaultWatermarkAngle);
    dm::PutS16(block, dm::kSWatermarkOn, 0);
    dm::PutS16(block, dm::kSSelection, 0);
}

} // namespace

void ApplyDevModeDefaults(void* target) {
    BYTE* block = static_cast<BYTE*>(target);
    PutHeader(block);
    dm::PutS16(block, dm::kSFlip, 0);
    PutSettingDefaults(block);
    PutWatermarkStrings(block);
}

bool ConvertDevMode(const void* source, void* target) {
    if (source == nullptr || target == nullptr)
        return false;
    const BYTE* input = static_cast<const BYTE*>(source);
    BYTE* output = static_cast<BYTE*>(target);

    PutSettingDefaults(output);
    if (dm::U32(input, dm::kDwSignature) == dm::U32(output, dm::kDwSignature)) {
        PutWatermarkStrings(output);
        // The sizes come from the blocks' own headers. The driver's buffers
        // hold one current block, so a header claiming more is not trusted
        // beyond that.
        const DWORD n =
            std::min<std::uint32_t>({dm::U32(output, dm::kDwSize), dm::U32(input, dm::kDwSize), dm::kSize});
        std::memmove(output, input, n);
        dm::PutU32(output, dm::kDwSize, dm::kSize);
        dm::PutU32(output, dm::kDwVersion, dm::kVersion);
    } else {
        dm::PutS16(output, dm::kSFlip, 0);
        PutHeader(output);
        PutWatermarkStrings(output);
    }
    return true;
}

bool ValidateDevMode(void* target) {
    if (target == nullptr)
        return false;
    BYTE* block = static_cast<BYTE*>(target);
    PutHeader(block);
    if (dm::S16(block, dm::kSSelection) > 2)
        dm::PutS16(block, dm::kSSelection, 0);
    return true;
}

HRESULT HandleGetInfo(DWORD mode, PVOID buffer, DWORD size, PDWORD needed) {
    if (needed == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return E_FAIL;
    }
    switch (mode) {
    case OEMGI_GETSIGNATURE:
    case OEMGI_GETVERSION: {
        *needed = sizeof(DWORD);
        if (size < sizeof(DWORD) || buffer == nullptr) {
            SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return E_FAIL;
        }
        const DWORD value = mode == OEMGI_GETSIGNATURE ? dm::kSignature : dm::kVersion;
        std::memcpy(buffer, &value, sizeof(value));
        return S_OK;
    }
    case OEMGI_GETPUBLISHERINFO:
        // The size of the driver's PUBLISHERINFO record (a 32-bit mode and
        // two 16-bit sizes). The plug-in has no font information to
        // publish, so it names the size the driver asks about and fails.
        *needed = 8;
        return E_FAIL;
    default:
        SetLastError(ERROR_INVALID_PARAMETER);
        return E_FAIL;
    }
}

HRESULT HandleDevMode(DWORD mode, POEMDMPARAM param) {
    if (param == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return E_FAIL;
    }
    switch (mode) {
    case OEMDM_SIZE:
        param->cbBufSize = dm::kSize;
        return S_OK;
    case OEMDM_DEFAULT:
        // Defaults need somewhere to go; without a block nothing is written.
        if (param->pOEMDMOut == nullptr) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return E_FAIL;
        }
        ApplyDevModeDefaults(param->pOEMDMOut);
        return S_OK;
    case OEMDM_CONVERT:
        ConvertDevMode(param->pOEMDMIn, param->pOEMDMOut);
        return S_OK;
    case OEMDM_MERGE:
        ConvertDevMode(param->pOEMDMIn, param->pOEMDMOut);
        ValidateDevMode(param->pOEMDMOut);
        return S_OK;
    default:
        SetLastError(ERROR_INVALID_PARAMETER);
        return E_FAIL;
    }
}

} // namespace klv
