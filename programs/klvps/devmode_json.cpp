#include "programs/klvps/devmode_json.h"

#include "devmode/layout.h"
#include "libraries/settings/devmode_fields.h"

namespace klv::cli {

using settings::Field;
using settings::FieldKind;

nlohmann::ordered_json DevModeToJson(const std::vector<std::uint8_t>& block) {
    nlohmann::ordered_json out = nlohmann::ordered_json::object();
    if (block.size() < dm::kSize)
        return out;
    for (const Field& f : settings::Fields()) {
        switch (f.kind) {
        case FieldKind::kU8:
            out[f.name] = dm::Byte(block.data(), f.offset);
            break;
        case FieldKind::kS16:
            out[f.name] = dm::S16(block.data(), f.offset);
            break;
        case FieldKind::kU32:
            out[f.name] = dm::U32(block.data(), f.offset);
            break;
        case FieldKind::kS32:
            out[f.name] = static_cast<std::int32_t>(dm::U32(block.data(), f.offset));
            break;
        case FieldKind::kColour:
            out[f.name] = {{"red", dm::Byte(block.data(), f.offset)},
                           {"green", dm::Byte(block.data(), f.offset + 1)},
                           {"blue", dm::Byte(block.data(), f.offset + 2)}};
            break;
        case FieldKind::kWide:
            out[f.name] = settings::ReadText(block, f);
            break;
        }
    }
    return out;
}

} // namespace klv::cli
