#include "programs/klvps/devmode_command.h"

#include "devmode/layout.h"
#include "libraries/settings/devmode_fields.h"
#include "libraries/settings/devmode_header.h"
#include "libraries/simulator/simulator.h"
#include "libraries/support/files.h"
#include "programs/klvps/devmode_json.h"

#include <CLI/CLI.hpp>

#include <iostream>
#include <memory>

namespace klv::cli {

namespace {

std::string FieldList() {
    std::string list;
    for (const settings::Field& f : settings::Fields())
        list += std::string(list.empty() ? "" : ", ") + f.name;
    return list;
}

void WriteBlock(const std::string& path, const std::vector<std::uint8_t>& block) {
    std::string error;
    if (!support::WriteFileAtomically(path, std::string(block.begin(), block.end()), &error))
        throw CommandFailure(error);
}

void New(const std::string& plugin, const std::string& output, const std::vector<std::string>& sets) {
    sim::Simulator sim;
    std::string error;
    if (!sim.Open(plugin, &error))
        throw CommandFailure(error);
    std::vector<std::uint8_t> block = sim.DefaultDevMode(&error);
    if (block.empty())
        throw CommandFailure(error);
    if (block.size() != dm::kSize)
        throw CommandFailure("the plug-in's device mode holds " + std::to_string(block.size()) +
                             " bytes, not " + std::to_string(dm::kSize));
    ApplyAssignments(block, sets);
    WriteBlock(output, block);
}

// Shows the fields of any block of the right length; one that is not the
// plug-in's is named as such first, and the command then fails.
void Show(const std::string& file) {
    const std::vector<std::uint8_t> block = ReadDevMode(file);
    const std::string notice = settings::ForeignBlockNotice(block);
    if (!notice.empty())
        std::cerr << "klvps: " << file << ": " << notice << "\n" << std::flush;
    std::cout << DevModeToJson(block).dump(2) << "\n";
    if (!notice.empty())
        throw CommandFailure(file + ": not a klvps device mode");
}

void Set(const std::string& file, const std::vector<std::string>& assignments) {
    std::vector<std::uint8_t> block = ReadOwnDevMode(file);
    ApplyAssignments(block, assignments);
    WriteBlock(file, block);
}

struct DevModeOptions {
    std::string plugin = DefaultPlugin();
    std::string output;
    std::vector<std::string> sets;
    std::string file;
    std::vector<std::string> assignments;
};

} // namespace

std::string SetOptionHelp() {
    return "Set a device-mode field, FIELD=VALUE (repeatable). Fields: " + FieldList() +
           ". Strings are UTF-8; colours are R,G,B or #RRGGBB.";
}

std::vector<std::uint8_t> ReadDevMode(const std::string& path) {
    std::string error;
    const std::optional<std::string> bytes = support::ReadFile(path, &error);
    if (!bytes)
        throw CommandFailure(error);
    if (bytes->size() != dm::kSize)
        throw CommandFailure(path + ": a device mode file holds " + std::to_string(dm::kSize) +
                             " bytes, this one " + std::to_string(bytes->size()));
    return std::vector<std::uint8_t>(bytes->begin(), bytes->end());
}

std::vector<std::uint8_t> ReadOwnDevMode(const std::string& path) {
    std::vector<std::uint8_t> block = ReadDevMode(path);
    const std::string notice = settings::ForeignBlockNotice(block);
    if (!notice.empty())
        throw CommandFailure(path + ": " + notice.substr(0, notice.find(';')));
    return block;
}

void ApplyAssignments(std::vector<std::uint8_t>& block, const std::vector<std::string>& assignments) {
    for (const std::string& a : assignments) {
        std::string error;
        if (!settings::ApplyAssignment(block, a, &error))
            throw CommandFailure(error);
    }
}

Command AddDevModeCommand(CLI::App& app) {
    auto o = std::make_shared<DevModeOptions>();
    CLI::App* cmd = app.add_subcommand("devmode", "Create, show and edit private device-mode files.");
    cmd->require_subcommand(1);

    CLI::App* newCmd = cmd->add_subcommand("new", "Write the plug-in's default device mode to a file.");
    newCmd->add_option("--plugin", o->plugin, "Plug-in library to load")->capture_default_str();
    newCmd->add_option("--set", o->sets, SetOptionHelp())->allow_extra_args(false);
    newCmd->add_option("-o,--output", o->output, "Device-mode file to write")->required();

    CLI::App* showCmd = cmd->add_subcommand(
        "show", "Print the named fields of a device-mode file as JSON; a block whose size or "
                "signature is not the plug-in's is named as such first, on stderr.");
    showCmd->add_option("file", o->file, "Device-mode file")->required();

    CLI::App* setCmd = cmd->add_subcommand(
        "set", "Change fields of a device-mode file in place: FIELD=VALUE ... Fields: " + FieldList() +
                   ". Nothing is written unless every assignment is valid.");
    setCmd->add_option("file", o->file, "Device-mode file")->required();
    setCmd->add_option("assignments", o->assignments, "FIELD=VALUE")->required();

    return {cmd, [o, newCmd, showCmd, setCmd] {
                if (newCmd->parsed())
                    New(o->plugin, o->output, o->sets);
                else if (showCmd->parsed())
                    Show(o->file);
                else if (setCmd->parsed())
                    Set(o->file, o->assignments);
                return 0;
            }};
}

} // namespace klv::cli
