#include "libraries/settings/settings_doc.h"

#include "libraries/settings/settings_table.h"

namespace klv::settings {

namespace {

std::string Values(const Setting& s) {
    const std::string most = std::to_string(s.max);
    switch (s.kind) {
    case Kind::kWatermarkText:
        return "text, at most " + most +
               " characters, which switches the watermark on; `none`, `off`, `false`, `no` or empty switch "
               "it "
               "off, `on`, `true` or `yes` on with the text already set; `{user}`, `{title}`, `{job-id}`, "
               "`{date}`, `{time}` and `{printer}` are filled in for each job (`{{` and `}}` for braces)";
    case Kind::kFontName:
        return "a PostScript font name the printer has, at most " + most + " characters";
    case Kind::kText:
        return "text, at most " + most + " characters";
    case Kind::kInteger:
        return std::to_string(s.min) + " to " + most + " " + s.unit +
               (s.narrowedBecause != nullptr ? std::string(" (") + s.narrowedBecause + ")" : "");
    case Kind::kColour:
        return "`R,G,B` (0 to 255 each), `#RRGGBB` or `RRGGBB`";
    case Kind::kSwitch:
        return "`true`, `yes`, `on` or `1`; `false`, `no`, `off` or `0`";
    }
    return "";
}

std::string Field(const Setting& s) {
    std::string field = "`" + std::string(s.fieldName) + "`";
    if (s.kind == Kind::kWatermarkText)
        field += ", `sWatermarkOn`";
    if (s.kind == Kind::kSwitch)
        field += " (" + std::to_string(s.on) + " or " + std::to_string(s.off) + ")";
    return field;
}

} // namespace

std::string HelpWithLimits(const Setting& s) {
    std::string help = s.help;
    if (s.kind == Kind::kInteger)
        help += ", " + std::to_string(s.min) + " to " + std::to_string(s.max);
    else if (s.kind == Kind::kText || s.kind == Kind::kWatermarkText)
        help += " (UTF-8, at most " + std::to_string(s.max) + " characters)";
    return help;
}

std::string MarkdownTable() {
    std::string table =
        "| setting | `klvps print` | CUPS option and IPP attribute | value | device-mode field |\n"
        "|---|---|---|---|---|\n";
    for (const Setting& s : kSettings)
        table += "| " + std::string(s.label) + " | `" + s.flag + "` | `" + s.cupsOption + "` | " + Values(s) +
                 " | " + Field(s) + " |\n";
    return table;
}

} // namespace klv::settings
