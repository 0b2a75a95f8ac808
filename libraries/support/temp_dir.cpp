#include "libraries/support/temp_dir.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <system_error>

namespace klv::support {

TempDir::TempDir() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern =
        (base != nullptr && *base != '\0' ? std::string(base) : std::string("/tmp")) + "/klvps-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("cannot create a temporary directory: " +
                                 std::generic_category().message(errno));
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

} // namespace klv::support
