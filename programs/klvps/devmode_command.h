// `klvps devmode new|show|set`: private device-mode files.
#pragma once

#include "programs/klvps/command.h"

#include <cstdint>
#include <string>
#include <vector>

namespace klv::cli {

Command AddDevModeCommand(CLI::App& app);

// The --set help, listing every named field.
std::string SetOptionHelp();

// A device-mode file of the right length, or a CommandFailure.
std::vector<std::uint8_t> ReadDevMode(const std::string& path);
// The same, refused unless the block is the plug-in's own (to merge or change).
std::vector<std::uint8_t> ReadOwnDevMode(const std::string& path);
// Applies FIELD=VALUE assignments in order, or a CommandFailure.
void ApplyAssignments(std::vector<std::uint8_t>& block, const std::vector<std::string>& assignments);

} // namespace klv::cli
