// Whole files for the host programs: reading one with a message that says
// why it failed, and the one way output is written, whole or not at all.
#pragma once

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace klv::support {

// The whole content of a regular file, or nullopt with "PATH: no such
// file" or "PATH: cannot be read" in *error.
std::optional<std::string> ReadFile(const std::filesystem::path& path, std::string* error);

// The whole content of a file; empty when it cannot be read. For tests and
// for files the program made itself.
std::string ReadWholeFile(const std::filesystem::path& path);
// Writes bytes to path, replacing it in place; false when that failed.
bool WriteWholeFile(const std::filesystem::path& path, std::string_view bytes);

// A file that appears whole or not at all: the bytes go to a temporary
// file beside it, which Commit flushes to disk and renames over the path.
// Without Commit the temporary file is removed and the path keeps its old
// content (or stays absent).
class AtomicFile {
public:
    explicit AtomicFile(std::string path) : path_(std::move(path)) {}
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Creates the temporary file; false with a message on failure.
    bool Open(std::string* error);
    bool Write(std::string_view bytes);
    bool Commit(std::string* error);
    const std::string& Path() const { return path_; }

private:
    void Discard();

    std::string path_;
    std::string tempPath_;
    std::FILE* file_ = nullptr;
    int writeError_ = 0;
};

// Writes bytes to path through an AtomicFile. False with a message on
// failure, path then unchanged.
bool WriteFileAtomically(const std::string& path, std::string_view bytes, std::string* error);

} // namespace klv::support
