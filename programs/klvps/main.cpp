// klvps: drives the plug-in library outside the printer driver. It prints
// jobs through a driver simulator (its sample job, a UTF-8 text file, or an
// existing PostScript or PDF job), checks what a printer receives from a
// job, renders pages of PostScript with Ghostscript, and creates, shows and
// edits private device-mode files. Each subcommand lives in its own file.
#include "programs/klvps/check/check_command.h"
#include "programs/klvps/command.h"
#include "programs/klvps/devmode_command.h"
#include "programs/klvps/info_command.h"
#include "programs/klvps/preview_command.h"
#include "programs/klvps/print_command.h"

#include <CLI/CLI.hpp>

#include <cstdlib>
#include <iostream>
#include <vector>

#ifndef KLVPS_DEFAULT_PLUGIN
#define KLVPS_DEFAULT_PLUGIN "libklvps.so"
#endif

namespace klv::cli {

std::string DefaultPlugin() {
    const char* configured = std::getenv("KLVPS_PLUGIN");
    return configured != nullptr && *configured != '\0' ? configured : KLVPS_DEFAULT_PLUGIN;
}

} // namespace klv::cli

int main(int argc, char** argv) {
    using namespace klv::cli;
    CLI::App app{"klvps: drive the klvps rendering plug-in outside the printer driver.\n"
                 "The plug-in library is taken from --plugin, else $KLVPS_PLUGIN, else " KLVPS_DEFAULT_PLUGIN
                 "."};
    app.require_subcommand(1);
    const std::vector<Command> commands = {AddPrintCommand(app), klv::check::AddCheckCommand(app),
                                           AddPreviewCommand(app), AddDevModeCommand(app),
                                           AddInfoCommand(app)};

    // CLI11 would take an unknown word for an extra argument; name it.
    const std::string first = argc > 1 ? argv[1] : "";
    std::string names;
    bool known = false;
    for (const Command& c : commands) {
        names += (names.empty() ? "" : ", ") + c.app->get_name();
        known = known || c.app->get_name() == first;
    }
    if (!first.empty() && first[0] != '-' && !known) {
        std::cerr << "klvps: unknown command '" << first << "' (commands: " << names << ")\n"
                  << "Run with --help for more information.\n";
        return 2;
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        // Help and version exit 0; every other parse error is bad usage.
        return app.exit(e) == 0 ? 0 : 2;
    }
    for (const Command& c : commands) {
        if (!c.app->parsed())
            continue;
        try {
            return c.run();
        } catch (const CommandFailure& f) {
            std::cerr << "klvps: " << f.what() << "\n";
            return 1;
        } catch (const std::exception& e) {
            std::cerr << "klvps: " << e.what() << "\n";
            return 1;
        }
    }
    return 0;
}
