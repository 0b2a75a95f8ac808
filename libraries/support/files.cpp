#include "libraries/support/files.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <system_error>

namespace klv::support {

namespace fs = std::filesystem;

std::optional<std::string> ReadFile(const fs::path& path, std::string* error) {
    auto fail = [&](const char* why) -> std::optional<std::string> {
        if (error != nullptr)
            *error = path.string() + ": " + why;
        return std::nullopt;
    };
    std::error_code ec;
    if (!fs::is_regular_file(path, ec))
        return fail("no such file");
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return fail("cannot be read");
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad())
        return fail("cannot be read");
    return bytes;
}

std::string ReadWholeFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool WriteWholeFile(const fs::path& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    return static_cast<bool>(out);
}

AtomicFile::~AtomicFile() {
    Discard();
}

void AtomicFile::Discard() {
    if (file_ != nullptr)
        std::fclose(file_);
    file_ = nullptr;
    if (!tempPath_.empty())
        std::remove(tempPath_.c_str());
    tempPath_.clear();
}

bool AtomicFile::Open(std::string* error) {
    Discard();
    writeError_ = 0;
    if (path_.empty()) {
        *error = "no output file given";
        return false;
    }
    const fs::path target(path_);
    const fs::path dir = target.has_parent_path() ? target.parent_path() : ".";
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

bool AtomicFile::Write(std::string_view bytes) {
    if (file_ == nullptr || writeError_ != 0)
        return false;
    if (std::fwrite(bytes.data(), 1, bytes.size(), file_) == bytes.size())
        return true;
    writeError_ = errno != 0 ? errno : EIO;
    return false;
}

bool AtomicFile::Commit(std::string* error) {
    if (file_ == nullptr) {
        *error = path_ + ": nothing to commit";
        return false;
    }
    const bool written = writeError_ == 0 && std::fflush(file_) == 0 && fsync(fileno(file_)) == 0;
    const int code = writeError_ != 0 ? writeError_ : errno;
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    if (!written || !closed || std::rename(tempPath_.c_str(), path_.c_str()) != 0) {
        *error = path_ + ": cannot write: " + std::strerror(written && closed ? errno : code);
        Discard();
        return false;
    }
    tempPath_.clear();
    return true;
}

bool WriteFileAtomically(const std::string& path, std::string_view bytes, std::string* error) {
    AtomicFile file(path);
    std::string why;
    if (!file.Open(&why) || !file.Write(bytes) || !file.Commit(&why)) {
        if (error != nullptr)
            *error = why.empty() ? path + ": cannot write" : why;
        return false;
    }
    return true;
}

} // namespace klv::support
