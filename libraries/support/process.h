// Child processes for the host programs: a program started directly (no
// shell) with its output captured and a time limit.
#pragma once

#include <string>
#include <vector>

namespace klv::support {

// A finished child process.
struct ProcessResult {
    bool started = false;  // the program could be started
    bool timedOut = false; // killed after the time limit
    int exitStatus = -1;   // exit code; -1 when it did not exit normally
    std::string output;    // stdout and stderr, interleaved as written
};

// Runs argv[0] (looked up on the PATH when it has no slash) with the given
// arguments and an empty stdin, waiting at most timeoutSeconds.
ProcessResult RunProcess(const std::vector<std::string>& argv, double timeoutSeconds = 120);

} // namespace klv::support
