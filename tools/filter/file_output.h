// Output of the DSC pass to a file that appears whole or not at all: the
// bytes go to a temporary file beside it, renamed over the file by Commit.
// Without Commit the temporary file is removed and the file keeps its old
// content.
#pragma once

#include "tools/filter/dsc_pass.h"

#include <cstdio>
#include <string>

namespace klv::filter {

class FileOutput : public DscOutput {
public:
    explicit FileOutput(std::string path) : path_(std::move(path)) {}
    ~FileOutput() override;
    FileOutput(const FileOutput&) = delete;
    FileOutput& operator=(const FileOutput&) = delete;

    // Creates the temporary file; false with a message on failure.
    bool Open(std::string* error);
    bool Write(std::string_view bytes, Origin origin) override;
    // Flushes the bytes to disk and renames the temporary file over the path.
    bool Commit(std::string* error);

private:
    void Discard();

    std::string path_;
    std::string tempPath_;
    std::FILE* file_ = nullptr;
};

} // namespace klv::filter
