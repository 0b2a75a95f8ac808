// A temporary directory under $TMPDIR (else /tmp), removed with everything
// in it when destroyed.
#pragma once

#include <filesystem>

namespace klv::support {

class TempDir {
public:
    TempDir(); // throws std::runtime_error when no directory can be made
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path path_;
};

} // namespace klv::support
