#include "libraries/job/outputs.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace klv::job {

namespace {

constexpr std::size_t kBlock = 64 * 1024;

} // namespace

bool FdOutput::Write(std::string_view bytes, dsc::Origin) {
    if (errno_ != 0)
        return false;
    if (buffer_.size() + bytes.size() < kBlock) {
        buffer_.append(bytes);
        return true;
    }
    if (!Flush())
        return false;
    if (bytes.size() >= kBlock) {
        buffer_.assign(bytes);
        return Flush();
    }
    buffer_.assign(bytes);
    return true;
}

bool FdOutput::Flush() {
    std::size_t done = 0;
    while (done < buffer_.size()) {
        const ssize_t n = ::write(fd_, buffer_.data() + done, buffer_.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            errno_ = n < 0 ? errno : EIO;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    buffer_.clear();
    return true;
}

bool FdOutput::Finish(std::string* error) {
    if (errno_ == 0 && Flush())
        return true;
    if (error != nullptr)
        *error = name_ + " cannot be written: " + std::strerror(errno_);
    return false;
}

} // namespace klv::job
