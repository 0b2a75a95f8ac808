// The outputs the front ends give a job: a file that appears whole or not at
// all, and a file descriptor (standard output, a pipe, a device).
#pragma once

#include "libraries/job/job.h"
#include "libraries/support/files.h"

#include <string>

namespace klv::job {

// A file written through a temporary file beside it and renamed into place
// by Finish; a job that fails leaves the file as it was.
class FileOutput : public Output {
public:
    explicit FileOutput(std::string path) : file_(std::move(path)) {}
    bool Open(std::string* error) { return file_.Open(error); }
    bool Write(std::string_view bytes, dsc::Origin) override { return file_.Write(bytes); }
    bool Finish(std::string* error) override { return file_.Commit(error); }

private:
    support::AtomicFile file_;
};

// A file descriptor, written in blocks of 64 KiB and at the end; the
// descriptor stays open.
class FdOutput : public Output {
public:
    explicit FdOutput(int fd, std::string name = "standard output") : fd_(fd), name_(std::move(name)) {}
    bool Write(std::string_view bytes, dsc::Origin origin) override;
    bool Finish(std::string* error) override;

private:
    bool Flush();

    int fd_;
    std::string name_;
    std::string buffer_;
    int errno_ = 0;
};

} // namespace klv::job
