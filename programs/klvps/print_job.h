// Prints an existing DSC PostScript job through the plug-in: a driver
// session goes through the device's life as the driver would for this job
// (device mode, EnablePDEV, DrvStartDoc with the job id, the pages,
// DisablePDEV), and the DSC pass asks it for the plug-in's text at each
// injection point it finds.
#pragma once

#include "libraries/simulator/simulator.h"

#include <functional>
#include <istream>
#include <string>
#include <vector>

namespace klv::cli {

struct ExistingJob {
    std::string input;        // a PostScript file
    std::string name;         // what messages call it; the input's path when empty
    std::string output;       // a file, written whole or not at all; "-" for standard output
    bool passThrough = false; // copy a job without a DSC header unchanged instead of refusing it
    // Write the line breaks of the plug-in's text as the job's line ending
    // rather than as the plug-in wrote them.
    bool jobLineEndings = false;
    sim::JobSetup setup; // user, document, job id, device mode
};

struct ExistingJobResult {
    bool ok = false;
    std::string error;
    std::vector<std::string> warnings;
    int pages = 0;
    std::uint64_t bytesRead = 0;
};

// sim must be open. onPage is called as each page of the job begins.
ExistingJobResult PrintExistingJob(sim::Simulator& sim, const ExistingJob& job,
                                   const std::function<void(int page)>& onPage = {});

// The same for a job read from a stream (job.input is then not opened; its
// name, or job.name, is what messages call the job).
ExistingJobResult PrintExistingJob(sim::Simulator& sim, std::istream& in, const ExistingJob& job,
                                   const std::function<void(int page)>& onPage = {});

} // namespace klv::cli
