// Child processes and temporary directories for the host tools: a program
// started directly (no shell) with its output captured and a time limit.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace klv::gs {

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

// A temporary directory removed with everything in it when destroyed.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path path_;
};

// The whole content of a file; empty when it cannot be read.
std::string ReadWholeFile(const std::filesystem::path& path);
// Writes bytes to path, replacing it; false when that failed.
bool WriteWholeFile(const std::filesystem::path& path, std::string_view bytes);

} // namespace klv::gs
