#include "libraries/settings/devmode_header.h"

#include "devmode/layout.h"
#include "libraries/settings/devmode_fields.h"

#include <cstdio>

namespace klv::settings {

namespace {

std::uint32_t U32At(const std::vector<std::uint8_t>& b, std::uint32_t offset) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | b[offset + static_cast<std::uint32_t>(i)];
    return v;
}

std::string Hex32(std::uint32_t v) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", v);
    return text;
}

} // namespace

std::string ForeignBlockNotice(const std::vector<std::uint8_t>& block) {
    if (block.size() < 8)
        return "this is not a klvps device mode: it holds only " + std::to_string(block.size()) + " bytes";
    const std::uint32_t size = U32At(block, dm::kDwSize);
    const std::uint32_t signature = U32At(block, dm::kDwSignature);
    std::string problems;
    if (size != dm::kSize)
        problems +=
            "its header gives the size " + std::to_string(size) + ", not " + std::to_string(dm::kSize);
    if (signature != dm::kSignature)
        problems += std::string(problems.empty() ? "its header gives" : " and") + " the signature " +
                    Hex32(signature) + ", not " + Hex32(dm::kSignature);
    if (problems.empty())
        return {};
    return "this is not a klvps device mode: " + problems +
           "; the fields below are its bytes read as if it were one, not settings";
}

} // namespace klv::settings
