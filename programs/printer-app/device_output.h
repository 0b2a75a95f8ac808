// The DSC pass's output into a PAPPL device (the printer's connection or
// file). A failed write, such as a printer that closed its connection,
// stops the pass.
#pragma once

#include "libraries/dsc/dsc_pass.h"

#include <pappl/pappl.h>

namespace klv::app {

class DeviceOutput : public dsc::DscOutput {
public:
    explicit DeviceOutput(pappl_device_t* device) : device_(device) {}
    bool Write(std::string_view bytes, dsc::Origin /*origin*/) override {
        return bytes.empty() ||
               papplDeviceWrite(device_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    }

private:
    pappl_device_t* device_;
};

} // namespace klv::app
