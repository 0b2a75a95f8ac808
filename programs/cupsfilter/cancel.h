// A cancelled CUPS job: the print server sends SIGTERM to every filter of
// the job. The filter then stops reading at once, even while it waits for
// input, finishes what it has written and exits.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <streambuf>
#include <vector>

namespace klv::cups {

// Installs the SIGTERM handler (and ignores SIGPIPE, so that a reader that
// goes away is a failed write rather than a killed filter). False when the
// handler cannot be installed.
bool WatchForCancel();

bool Cancelled();

// Reads a file descriptor until its end or until the job is cancelled, which
// then looks like the end of the input.
class CancellableInput : public std::streambuf {
public:
    explicit CancellableInput(int fd, std::size_t bufferSize = 64 * 1024) : fd_(fd), buffer_(bufferSize) {}
    bool ReadFailed() const { return readFailed_; }

protected:
    int_type underflow() override;
    std::streamsize xsgetn(char* into, std::streamsize count) override;

private:
    // Reads what there is, waiting for it; 0 at the end or when the job is
    // cancelled, -1 when the read failed.
    ssize_t ReadSome(char* into, std::size_t size);

    int fd_;
    std::vector<char> buffer_;
    bool readFailed_ = false;
};

} // namespace klv::cups
