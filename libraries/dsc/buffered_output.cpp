#include "libraries/dsc/buffered_output.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

namespace klv::dsc {

BufferedOutput::BufferedOutput(std::size_t blockSize) : block_(std::max<std::size_t>(blockSize, 1)) {
}

bool BufferedOutput::Write(std::string_view bytes, Origin) {
    if (failed_)
        return false;
    if (bytes.size() >= block_.size() / 4) {
        failed_ = !Send(std::string_view(block_.data(), used_), bytes);
        used_ = 0;
        return !failed_;
    }
    if (bytes.size() > block_.size() - used_ && !Flush())
        return false;
    std::memcpy(block_.data() + used_, bytes.data(), bytes.size());
    used_ += bytes.size();
    return true;
}

bool BufferedOutput::Flush() {
    if (failed_)
        return false;
    if (used_ > 0) {
        failed_ = !Send(std::string_view(block_.data(), used_), {});
        used_ = 0;
    }
    return !failed_;
}

FdOutput::FdOutput(int fd, std::size_t blockSize) : BufferedOutput(blockSize), fd_(fd) {
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISFIFO(st.st_mode)) {
        // A 64 KiB pipe makes both sides switch every 64 KiB; a refusal
        // (above the system's limit) leaves the pipe as it was.
        for (std::size_t size = 4 * blockSize; size >= 64 * 1024; size /= 2) {
            if (::fcntl(fd, F_SETPIPE_SZ, static_cast<int>(size)) >= 0)
                break;
        }
    }
}

std::string FdOutput::WhyFailed() const {
    return error_ != 0 ? std::strerror(error_) : std::string();
}

bool FdOutput::Send(std::string_view first, std::string_view second) {
    while (!first.empty() || !second.empty()) {
        iovec parts[2] = {{const_cast<char*>(first.data()), first.size()},
                          {const_cast<char*>(second.data()), second.size()}};
        const ssize_t n = ::writev(fd_, parts, 2);
        if (n > 0) {
            const std::size_t written = static_cast<std::size_t>(n);
            const std::size_t fromFirst = std::min(written, first.size());
            first.remove_prefix(fromFirst);
            second.remove_prefix(written - fromFirst);
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
