// Whether a device-mode file is the plug-in's own block.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace klv::settings {

// Empty when the block's header gives the plug-in's size and signature;
// otherwise a sentence saying what it gives instead.
std::string ForeignBlockNotice(const std::vector<std::uint8_t>& block);

} // namespace klv::settings
