// The outputs the front ends give a job: a file that appears whole or not at
// all, and a file descriptor (standard output, a pipe, a device). Both write
// in the DSC pass's large blocks (libraries/dsc/buffered_output.h).
#pragma once

#include "libraries/dsc/buffered_output.h"
#include "libraries/dsc/file_output.h"
#include "libraries/job/job.h"

#include <string>

namespace klv::job {

// A file written through a temporary file beside it and renamed into place
// by Finish; a job that fails leaves the file as it was.
class FileOutput : public Output {
public:
    explicit FileOutput(std::string path) : file_(std::move(path)) {}
    bool Open(std::string* error) { return file_.Open(error); }
    bool Write(std::string_view bytes, dsc::Origin origin) override { return file_.Write(bytes, origin); }
    bool Flush() override { return file_.Flush(); }
    bool Finish(std::string* error) override { return file_.Commit(error); }

private:
    dsc::FileOutput file_;
};

// A file descriptor; the descriptor stays open.
class FdOutput : public Output {
public:
    explicit FdOutput(int fd, std::string name = "standard output") : fd_(fd), name_(std::move(name)) {}
    bool Write(std::string_view bytes, dsc::Origin origin) override { return fd_.Write(bytes, origin); }
    bool Flush() override { return fd_.Flush(); }
    std::string WhyFailed() const override { return fd_.WhyFailed(); }
    bool Finish(std::string* error) override;

private:
    dsc::FdOutput fd_;
    std::string name_;
};

} // namespace klv::job
