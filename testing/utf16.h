// UTF-16 text for the tests of surrogate handling, and 16-bit units stored
// into a device-mode block as the driver's settings carry them.
#pragma once

#include "devmode/layout.h"

#include <string>
#include <string_view>

namespace klv::testing {

// U+1F600, a character outside the basic plane, as its two UTF-16 units.
inline constexpr char16_t kHighSurrogate = 0xD83D;
inline constexpr char16_t kLowSurrogate = 0xDE00;
inline const std::u16string kSurrogatePair{kHighSurrogate, kLowSurrogate};
static_assert(u"\U0001F600"[0] == kHighSurrogate && u"\U0001F600"[1] == kLowSurrogate);

// Stores units little-endian from offset on, one after another; adds no
// terminator and heeds no field's end.
inline void PutUnits(BYTE* block, DWORD offset, std::u16string_view units) {
    for (std::size_t i = 0; i < units.size(); ++i)
        dm::PutU16(block, offset + static_cast<DWORD>(2 * i), units[i]);
}

} // namespace klv::testing
