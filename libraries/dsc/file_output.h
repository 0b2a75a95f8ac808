// Output of the DSC pass to a file that appears whole or not at all
// (support::AtomicFile): Commit writes out what is held back and renames the
// file into place; without Commit the file keeps its old content.
#pragma once

#include "libraries/dsc/buffered_output.h"
#include "libraries/support/files.h"

#include <string>

namespace klv::dsc {

class FileOutput : public BufferedOutput {
public:
    explicit FileOutput(std::string path) : file_(std::move(path)) {}

    bool Open(std::string* error) { return file_.Open(error); }
    // A failed write is also the file's, so Commit then reports it.
    bool Commit(std::string* error) {
        const bool flushed = Flush();
        return file_.Commit(error) && flushed;
    }

protected:
    bool Send(std::string_view first, std::string_view second) override {
        return (first.empty() || file_.Write(first)) && (second.empty() || file_.Write(second));
    }

private:
    support::AtomicFile file_;
};

} // namespace klv::dsc
