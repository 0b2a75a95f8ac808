// Outputs of the DSC pass that gather its many small writes (a line each)
// into large blocks, so that a job costs few system calls: one per block,
// not one per line or per 4 KiB of a stream's buffer.
//
//   klv::dsc::FdOutput out(STDOUT_FILENO);
//   klv::dsc::RunDscPass(in, out, inject);   // flushes out at its end
//   if (out.Error() != 0) ...                // the errno of a failed write
#pragma once

#include "libraries/dsc/dsc_pass.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace klv::dsc {

class BufferedOutput : public DscOutput {
public:
    // Large enough that a job costs few system calls; an output to a pipe
    // widens the pipe to match (FdOutput).
    static constexpr std::size_t kDefaultBlockSize = 256 * 1024;

    explicit BufferedOutput(std::size_t blockSize = kDefaultBlockSize);

    // Pieces of a quarter block or more (a run of the job's lines) are not
    // copied: they go out at once, after what the block holds. Once a write
    // has failed, every later one fails too.
    bool Write(std::string_view bytes, Origin origin) final;
    bool Flush() final;

protected:
    // Writes first, then second, whole; false when that failed.
    virtual bool Send(std::string_view first, std::string_view second) = 0;

private:
    std::vector<char> block_;
    std::size_t used_ = 0;
    bool failed_ = false;
};

// Writes to a file descriptor with writev(2), through interruptions and
// partial writes; a descriptor that cannot take more yet (O_NONBLOCK) is
// waited for. The descriptor stays open.
class FdOutput : public BufferedOutput {
public:
    // A pipe is widened to hold four blocks (as far as the system allows),
    // so that the pass and its reader seldom wait for each other.
    explicit FdOutput(int fd, std::size_t blockSize = kDefaultBlockSize);

    // The errno of the write that failed, 0 while none has.
    int Error() const { return error_; }
    std::string WhyFailed() const override;

protected:
    bool Send(std::string_view first, std::string_view second) override;

private:
    int fd_;
    int error_ = 0;
};

} // namespace klv::dsc
