// Identifiers of the PostScript text resources in the plug-in module.
#pragma once

namespace klv {

constexpr unsigned short kPostScriptResourceType = 0x5053;
constexpr unsigned short kWatermarkTemplateResource = 1; // DrawWaterMark procedure template
constexpr unsigned short kWatermarkInvokeResource = 2;   // per-page invocation

} // namespace klv
