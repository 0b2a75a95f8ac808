#include "programs/printer-app/ipp_settings.h"

#include "devmode/layout.h"
#include "libraries/settings/devmode_fields.h"
#include "libraries/support/utf.h"

namespace klv::app {

namespace {

AttributeRefusal Refused(const char* attribute, const settings::Refusal& refusal) {
    return {attribute, std::string(attribute) + ": " + settings::Describe(refusal)};
}

} // namespace

std::optional<AttributeRefusal> ApplyAttributes(std::vector<std::uint8_t>& block,
                                                const AttributeValues& values) {
    for (const auto& [name, text] : values) {
        const settings::Setting* s = settings::FindByCupsOption(name);
        if (s == nullptr)
            continue;
        // A form left blank or a default never set arrives empty: it means
        // the plug-in's own value, not an empty font name or job name.
        if (text.empty() && s->kind != settings::Kind::kWatermarkText)
            continue;
        if (const settings::Refusal r = settings::SetFromText(block, s->id, text))
            return Refused(s->ippAttribute, r);
    }
    return std::nullopt;
}

std::optional<AttributeRefusal> ApplyJobPassword(std::vector<std::uint8_t>& block,
                                                 const std::string& password, const std::string& encryption) {
    if (!encryption.empty() && encryption != kJobPasswordEncryption)
        return AttributeRefusal{"job-password-encryption",
                                "job-password-encryption: " + encryption +
                                    " is not supported; the printer takes the password as it is (none)"};
    const settings::Refusal r = settings::SetFromText(block, settings::Id::kJobPassword, password);
    if (!r)
        return std::nullopt;
    // The password itself stays out of the message, which clients show and
    // logs keep.
    if (r.problem == settings::Problem::kTooLong)
        return Refused("job-password", r);
    return AttributeRefusal{"job-password", "job-password: not UTF-8 text"};
}

std::string ValueText(const std::vector<std::uint8_t>& block, const settings::Setting& s) {
    const BYTE* b = block.data();
    switch (s.kind) {
    case settings::Kind::kWatermarkText:
        if (dm::S16(b, dm::kSWatermarkOn) == 0)
            return "none";
        [[fallthrough]];
    case settings::Kind::kText:
    case settings::Kind::kFontName:
        return settings::ReadText(block, *settings::FindField(s.fieldName));
    case settings::Kind::kInteger:
        return s.storage == settings::Storage::kS16
                   ? std::to_string(dm::S16(b, s.field))
                   : std::to_string(static_cast<std::int32_t>(dm::U32(b, s.field)));
    case settings::Kind::kColour:
        return std::to_string(b[s.field]) + "," + std::to_string(b[s.field + 1]) + "," +
               std::to_string(b[s.field + 2]);
    case settings::Kind::kSwitch:
        return dm::S16(b, s.field) == s.on ? "true" : "false";
    }
    return {};
}

} // namespace klv::app
