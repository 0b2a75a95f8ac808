#include "tools/filter/file_output.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace klv::filter {

FileOutput::~FileOutput() {
    Discard();
}

void FileOutput::Discard() {
    if (file_ != nullptr)
        std::fclose(file_);
    file_ = nullptr;
    if (!tempPath_.empty())
        std::remove(tempPath_.c_str());
    tempPath_.clear();
}

bool FileOutput::Open(std::string* error) {
    Discard();
    const std::filesystem::path target(path_);
    const std::filesystem::path dir = target.has_parent_path() ? target.parent_path() : ".";
    std::string pattern = (dir / ("." + target.filename().string() + ".XXXXXX")).string();
    const int fd = mkstemp(pattern.data());
    if (fd < 0) {
        *error = path_ + ": cannot create a temporary file beside it: " + std::strerror(errno);
        return false;
    }
    // mkstemp creates the file for its owner only; give it the usual mode.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    file_ = fdopen(fd, "wb");
    if (file_ == nullptr) {
        ::close(fd);
        std::remove(pattern.c_str());
        *error = path_ + ": cannot write: " + std::strerror(errno);
        return false;
    }
    tempPath_ = pattern;
    return true;
}

bool FileOutput::Write(std::string_view bytes, Origin) {
    return file_ != nullptr && std::fwrite(bytes.data(), 1, bytes.size(), file_) == bytes.size();
}

bool FileOutput::Commit(std::string* error) {
    if (file_ == nullptr) {
        *error = path_ + ": nothing to commit";
        return false;
    }
    const bool written = std::fflush(file_) == 0 && fsync(fileno(file_)) == 0;
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    if (!written || !closed || std::rename(tempPath_.c_str(), path_.c_str()) != 0) {
        *error = path_ + ": cannot write: " + std::strerror(errno);
        Discard();
        return false;
    }
    tempPath_.clear();
    return true;
}

} // namespace klv::filter
