#include "programs/klvps/info_command.h"

#include "libraries/simulator/simulator.h"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <iostream>
#include <memory>

namespace klv::cli {

Command AddInfoCommand(CLI::App& app) {
    auto plugin = std::make_shared<std::string>(DefaultPlugin());
    CLI::App* cmd = app.add_subcommand("info", "Load the plug-in and print its signature and version.");
    cmd->add_option("--plugin", *plugin, "Plug-in library to load")->capture_default_str();
    return {cmd, [plugin] {
                sim::Simulator sim;
                std::string error;
                if (!sim.Open(*plugin, &error))
                    throw CommandFailure(error);
                char signature[16];
                std::snprintf(signature, sizeof signature, "0x%08X", sim.Signature());
                std::cout << "plug-in:       " << *plugin << "\n"
                          << "signature:     " << signature << "\n"
                          << "version:       " << sim.Version() << "\n"
                          << "device mode:   " << sim.DevModeSize() << " bytes\n"
                          << "hooked calls:  " << sim.HookTable().c << "\n";
                if (sim.Close() != S_OK)
                    throw CommandFailure("the plug-in reports that it cannot be unloaded after release");
                return 0;
            }};
}

} // namespace klv::cli
