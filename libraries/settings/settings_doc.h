// The settings table in words, for the user's README: one Markdown table of
// every setting with its name in each front end, its values and its
// device-mode field. A test keeps the README's copy equal to it.
#pragma once

#include "libraries/settings/settings_table.h"

#include <string>

namespace klv::settings {

std::string MarkdownTable();

// A setting's one-line help with its limits, for a front end's --help.
std::string HelpWithLimits(const Setting& setting);

} // namespace klv::settings
