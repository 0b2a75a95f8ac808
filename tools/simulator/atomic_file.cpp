// Whole-file output for the host programs: a job or a device mode is
// either all written or not there at all.
#include "tools/simulator/simulator.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>

namespace klv::sim {

bool WriteFileAtomically(const std::string& path, const std::string& bytes, std::string* error) {
    namespace fs = std::filesystem;
    auto fail = [&](const std::string& what, int code) {
        if (error != nullptr)
            *error = what + ": " + std::generic_category().message(code);
        return false;
    };
    if (path.empty())
        return fail("no output file given", EINVAL);
    const fs::path target(path);
    const fs::path dir = target.has_parent_path() ? target.parent_path() : fs::path(".");
    std::string temp = (dir / ("." + target.filename().string() + ".tmp-XXXXXX")).string();
    const int fd = mkstemp(temp.data());
    if (fd < 0)
        return fail("cannot create a file in " + dir.string(), errno);
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            const int code = errno;
            close(fd);
            unlink(temp.c_str());
            return fail("cannot write " + path, code);
        }
        done += static_cast<size_t>(n);
    }
    // Files are created 0600 by mkstemp; give the result the usual mode.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    const bool synced = fsync(fd) == 0;
    const int syncError = errno;
    if (close(fd) != 0 || !synced) {
        const int code = synced ? errno : syncError;
        unlink(temp.c_str());
        return fail("cannot write " + path, code);
    }
    if (rename(temp.c_str(), path.c_str()) != 0) {
        const int code = errno;
        unlink(temp.c_str());
        return fail("cannot replace " + path, code);
    }
    return true;
}

} // namespace klv::sim
