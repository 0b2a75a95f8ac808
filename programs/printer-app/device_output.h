// The DSC pass's output into a PAPPL device (the printer's connection or
// file). A failed write, such as a printer that closed its connection,
// stops the pass.
#pragma once

#include "libraries/job/job.h"

#include <pappl/pappl.h>

namespace klv::app {

class DeviceOutput : public job::Output {
public:
    explicit DeviceOutput(pappl_device_t* device) : device_(device) {}
    bool Write(std::string_view bytes, dsc::Origin /*origin*/) override {
        return bytes.empty() ||
               papplDeviceWrite(device_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    }

    bool Finish(std::string* /*error*/) override {
        papplDeviceFlush(device_);
        return true;
    }

private:
    pappl_device_t* device_;
};

} // namespace klv::app
