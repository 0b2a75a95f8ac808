// Runs a job behind the stand-in printer in Ghostscript.
#pragma once

#include "programs/klvps/check/report.h"

#include <string>

namespace klv::check {

struct CheckRun {
    bool started = false; // Ghostscript could be started
    std::string startError;
    Received received;
    Outcome outcome;
};

// Interprets postscript (the whole job) behind the stand-in printer,
// stopping Ghostscript after timeoutSeconds.
CheckRun RunCheck(const std::string& postscript, double timeoutSeconds);

} // namespace klv::check
