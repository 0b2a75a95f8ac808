// `klvps preview JOB -o FILE`: pages of a PostScript job rendered to PNG.
#pragma once

#include "programs/klvps/command.h"

#include <string>

namespace klv::cli {

struct PreviewOptions {
    std::string input;
    std::string output; // with %d: one file per page
    int page = 1;
    std::string pages; // a page list; the output name then holds %d
    int dpi = 72;
    int timeoutSeconds = 60; // per page
};

Command AddPreviewCommand(CLI::App& app);

// Renders the pages and writes them; every page is rendered before any
// file is written. Throws CommandFailure on failure.
void Preview(const PreviewOptions& options);

} // namespace klv::cli
