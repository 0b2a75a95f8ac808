// `klvps check JOB`: what a printer receives from a job.
#pragma once

#include "programs/klvps/command.h"

#include <string>

namespace klv::check {

struct CheckOptions {
    std::string job;
    bool json = false;
    int timeoutSeconds = 60;
    unsigned codePage = 0; // 0: the host's ANSI code page
};

// Exit codes of the command.
constexpr int kExitClean = 0;
constexpr int kExitNotClean = 1;
constexpr int kExitUsage = 2;

cli::Command AddCheckCommand(CLI::App& app);

// Runs the check and prints the report; returns the exit code.
int RunCheckCommand(const CheckOptions& options);

} // namespace klv::check
