// Byte layout of the private device mode. The block is a stored binary
// format: every field lives at a fixed offset, little-endian, and is read
// and written through these accessors, never through a compiler-laid-out
// struct.
#pragma once

#include "platform/win32.h"

#include <cstdint>
#include <cstring>

namespace klv::dm {

constexpr DWORD kSize = 1768;
constexpr DWORD kSignature = 0x4B4C564F;
constexpr DWORD kVersion = 2;

// Field offsets. The field names keep the type prefixes of the stored
// format (s: signed 16-bit, l: 32-bit, b: byte, dw: unsigned 32-bit, rgb:
// colour, sz: terminated wide string), so that they read as the block does.
// Bytes between the fields are carried along unread.
constexpr DWORD kDwSize = 0;
constexpr DWORD kDwSignature = 4;
constexpr DWORD kDwVersion = 8;
// A setting the plug-in never reads; it only keeps it in range: a merge
// resets a value above 2 to 0 (ValidateDevMode).
constexpr DWORD kSSelection = 12;
// Flip switch: any value but 0 asks the printer to flip the page (the flip
// key written at the end of the prolog).
constexpr DWORD kSFlip = 534;
// Full-page switch: on only when greater than 0, so the default -1 is off.
constexpr DWORD kSFullPage = 536;
constexpr DWORD kSzJobName = 538;     // 81 wide characters
constexpr DWORD kSzJobPassword = 700; // 5 wide characters
constexpr DWORD kSWatermarkOn = 710;
constexpr DWORD kSWatermarkAngle = 712;
constexpr DWORD kLWatermarkSize = 716;
constexpr DWORD kRgbWatermarkColor = 720; // red, green, blue, unused
constexpr DWORD kSzWatermarkText = 724;   // 128 wide characters
constexpr DWORD kSzWatermarkFont = 1108;  // 64 wide characters
// Two settings kept for the modules that share the block: the defaults write
// them (1 and 0), and nothing in the plug-in reads them.
constexpr DWORD kBOptionFlag = 1756;
constexpr DWORD kDwOptionValue = 1760;

constexpr DWORD kJobNameChars = 81;
constexpr DWORD kJobPasswordChars = 5;
constexpr DWORD kWatermarkTextChars = 128;
constexpr DWORD kWatermarkFontChars = 64;

inline std::uint8_t Byte(const BYTE* block, DWORD offset) {
    return block[offset];
}
inline std::uint16_t U16(const BYTE* block, DWORD offset) {
    return static_cast<std::uint16_t>(block[offset] | (block[offset + 1] << 8));
}
inline std::int16_t S16(const BYTE* block, DWORD offset) {
    return static_cast<std::int16_t>(U16(block, offset));
}
inline std::uint32_t U32(const BYTE* block, DWORD offset) {
    return static_cast<std::uint32_t>(block[offset]) | (static_cast<std::uint32_t>(block[offset + 1]) << 8) |
           (static_cast<std::uint32_t>(block[offset + 2]) << 16) |
           (static_cast<std::uint32_t>(block[offset + 3]) << 24);
}
inline void PutByte(BYTE* block, DWORD offset, std::uint8_t value) {
    block[offset] = value;
}
inline void PutU16(BYTE* block, DWORD offset, std::uint16_t value) {
    block[offset] = static_cast<BYTE>(value);
    block[offset + 1] = static_cast<BYTE>(value >> 8);
}
inline void PutS16(BYTE* block, DWORD offset, std::int16_t value) {
    PutU16(block, offset, static_cast<std::uint16_t>(value));
}
inline void PutU32(BYTE* block, DWORD offset, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        block[offset + i] = static_cast<BYTE>(value >> (8 * i));
}

// Wide string fields are UTF-16LE at offsets that are only 2-byte aligned,
// which the platform's 16-bit character type accepts. Callers that need a
// terminated copy bounded by the field use ReadWide.
inline WCHAR* WideField(BYTE* block, DWORD offset) {
    return reinterpret_cast<WCHAR*>(block + offset);
}
inline const WCHAR* WideField(const BYTE* block, DWORD offset) {
    return reinterpret_cast<const WCHAR*>(block + offset);
}

// Copies the wide field at offset (room for fieldChars units) into out
// (capacity units), stopping at its terminator or at the field's end;
// returns the units copied. out is always terminated.
inline DWORD ReadWide(const BYTE* block, DWORD offset, DWORD fieldChars, WCHAR* out, DWORD capacity) {
    DWORD n = 0;
    while (n < fieldChars && n + 1 < capacity) {
        const WCHAR unit = static_cast<WCHAR>(U16(block, offset + 2 * n));
        if (unit == 0)
            break;
        out[n++] = unit;
    }
    out[n] = 0;
    return n;
}

} // namespace klv::dm
