// A device-mode block as `klvps devmode show` prints it.
#pragma once

#include <nlohmann/json.hpp>

#include <cstdint>
#include <vector>

namespace klv::cli {

// One member per named field, in block order; strings in UTF-8, the colour
// as {"red", "green", "blue"}. Empty for a block shorter than dm::kSize.
nlohmann::ordered_json DevModeToJson(const std::vector<std::uint8_t>& block);

} // namespace klv::cli
