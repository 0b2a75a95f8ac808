// `klvps print [INPUT] -o OUT`: a job through the driver simulator and the
// plug-in: an existing PostScript or PDF job, a UTF-8 text file, or the
// simulator's sample job. Its settings come in a person's words, one
// option per row of the settings table.
#pragma once

#include "programs/klvps/command.h"

namespace klv::cli {

Command AddPrintCommand(CLI::App& app);

} // namespace klv::cli
