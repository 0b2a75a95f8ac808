#include "libraries/job/outputs.h"

#include <cstring>

namespace klv::job {

bool FdOutput::Finish(std::string* error) {
    if (fd_.Flush())
        return true;
    if (error != nullptr)
        *error = name_ + " cannot be written: " + std::strerror(fd_.Error());
    return false;
}

} // namespace klv::job
