#include "libraries/dsc/buffered_output.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <unistd.h>

namespace klv::dsc {

BufferedOutput::BufferedOutput(std::size_t blockSize) : block_(std::max<std::size_t>(blockSize, 1)) {
}

bool BufferedOutput::Write(std::string_view bytes, Origin) {
    if (failed_)
        return false;
    if (bytes.size() > block_.size() - used_) {
        if (!Flush())
            return false;
        // A piece as large as a block goes out as it is, without a copy.
        if (bytes.size() >= block_.size()) {
            failed_ = !Send(bytes);
            return !failed_;
        }
    }
    std::memcpy(block_.data() + used_, bytes.data(), bytes.size());
    used_ += bytes.size();
    return true;
}

bool BufferedOutput::Flush() {
    if (failed_)
        return false;
    if (used_ > 0) {
        failed_ = !Send(std::string_view(block_.data(), used_));
        used_ = 0;
    }
    return !failed_;
}

std::string FdOutput::WhyFailed() const {
    return error_ != 0 ? std::strerror(error_) : std::string();
}

bool FdOutput::Send(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
        if (n > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            pollfd ready = {fd_, POLLOUT, 0};
            if (::poll(&ready, 1, -1) >= 0 || errno == EINTR)
                continue;
        }
        error_ = n == 0 ? EIO : errno;
        return false;
    }
    return true;
}

} // namespace klv::dsc
