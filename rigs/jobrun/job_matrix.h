// A matrix of whole jobs that exercises every setting that reaches the
// plug-in's output: the watermark (off, and on at several angles, colours,
// sizes and texts), full page, flip, the job name and password (set and
// empty), user and document names with PostScript's special characters and
// Latin-1 letters, a 200-character document name, two papers and three
// resolutions. The same rows run through the host library and through both
// Windows DLLs, whose jobs must be byte for byte the same.
#pragma once

#include "libraries/simulator/simulator.h"

#include <string>
#include <vector>

namespace klv::sim {

struct MatrixJob {
    std::string name; // a file name stem: letters, digits and '-'
    Job job;
};

// The matrix's jobs, with device modes built on the plug-in's defaults
// (`defaults`, as Simulator::DefaultDevMode returns them).
std::vector<MatrixJob> JobMatrix(const std::vector<std::uint8_t>& defaults);

} // namespace klv::sim
