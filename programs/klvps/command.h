// What every klvps subcommand shares: how it is added to the command line
// and how it fails.
#pragma once

#include <functional>
#include <stdexcept>
#include <string>

namespace CLI {
class App;
}

namespace klv::cli {

// A failure to report: the message goes to standard error after "klvps: "
// and the command exits 1.
struct CommandFailure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Runs a parsed subcommand; returns its exit status or throws
// CommandFailure.
using RunCommand = std::function<int()>;

struct Command {
    CLI::App* app;
    RunCommand run;
};

// The plug-in library: --plugin, else $KLVPS_PLUGIN, else the one built
// alongside.
std::string DefaultPlugin();

} // namespace klv::cli
