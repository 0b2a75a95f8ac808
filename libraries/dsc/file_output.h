// Output of the DSC pass to a file that appears whole or not at all
// (support::AtomicFile): Commit renames it into place; without Commit the
// file keeps its old content.
#pragma once

#include "libraries/dsc/dsc_pass.h"
#include "libraries/support/files.h"

#include <string>

namespace klv::dsc {

class FileOutput : public DscOutput {
public:
    explicit FileOutput(std::string path) : file_(std::move(path)) {}

    bool Open(std::string* error) { return file_.Open(error); }
    bool Write(std::string_view bytes, Origin) override { return file_.Write(bytes); }
    bool Commit(std::string* error) { return file_.Commit(error); }

private:
    support::AtomicFile file_;
};

} // namespace klv::dsc
