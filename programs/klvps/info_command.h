// `klvps info`: loads the plug-in and prints its signature and version.
#pragma once

#include "programs/klvps/command.h"

namespace klv::cli {

Command AddInfoCommand(CLI::App& app);

} // namespace klv::cli
