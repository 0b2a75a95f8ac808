#include "programs/cupsfilter/cancel.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace klv::cups {

namespace {

volatile std::sig_atomic_t gCancelled = 0;
// Written by the handler so that a poll waiting for input wakes up; the
// flag alone could be set just before a read that then blocks.
int gWakeFds[2] = {-1, -1};

extern "C" void OnTerminate(int) {
    gCancelled = 1;
    const int saved = errno;
    const char byte = 0;
    [[maybe_unused]] const ssize_t n = write(gWakeFds[1], &byte, 1);
    errno = saved;
}

} // namespace

bool WatchForCancel() {
    if (pipe(gWakeFds) != 0)
        return false;
    for (int fd : gWakeFds) {
        fcntl(fd, F_SETFD, FD_CLOEXEC);
        fcntl(fd, F_SETFL, O_NONBLOCK);
    }
    std::signal(SIGPIPE, SIG_IGN);
    struct sigaction action = {};
    action.sa_handler = OnTerminate;
    sigemptyset(&action.sa_mask);
    return sigaction(SIGTERM, &action, nullptr) == 0;
}

bool Cancelled() {
    return gCancelled != 0;
}

ssize_t CancellableInput::ReadSome(char* into, std::size_t size) {
    while (!Cancelled()) {
        pollfd fds[2] = {{fd_, POLLIN, 0}, {gWakeFds[0], POLLIN, 0}};
        const int watched = gWakeFds[0] >= 0 ? 2 : 1;
        if (poll(fds, watched, -1) < 0) {
            if (errno == EINTR)
                continue;
            readFailed_ = true;
            return -1;
        }
        if (Cancelled())
            break;
        const ssize_t n = read(fd_, into, size);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n < 0)
            readFailed_ = true;
        return n;
    }
    return 0;
}

CancellableInput::int_type CancellableInput::underflow() {
    if (gptr() < egptr())
        return traits_type::to_int_type(*gptr());
    const ssize_t n = ReadSome(buffer_.data(), buffer_.size());
    if (n <= 0)
        return traits_type::eof();
    setg(buffer_.data(), buffer_.data(), buffer_.data() + n);
    return traits_type::to_int_type(*gptr());
}

// Large reads go straight into the reader's buffer, without a copy through
// our own.
std::streamsize CancellableInput::xsgetn(char* into, std::streamsize count) {
    std::streamsize done = std::min<std::streamsize>(count, egptr() - gptr());
    if (done > 0) {
        std::memcpy(into, gptr(), static_cast<std::size_t>(done));
        gbump(static_cast<int>(done));
    }
    while (done < count) {
        const ssize_t n = ReadSome(into + done, static_cast<std::size_t>(count - done));
        if (n <= 0)
            break;
        done += n;
    }
    return done;
}

} // namespace klv::cups
