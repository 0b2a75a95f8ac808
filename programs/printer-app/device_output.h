// The DSC pass's output into a PAPPL device (the printer's connection or
// file). A failed write, such as a printer that closed its connection,
// stops the pass, and so does a cancelled job (Cancel-Job), at its next
// write.
#pragma once

#include "libraries/job/job.h"

#include <pappl/pappl.h>

#include <functional>
#include <utility>

namespace klv::app {

class DeviceOutput : public job::Output {
public:
    // cancelled, when given, is asked before each write.
    explicit DeviceOutput(pappl_device_t* device, std::function<bool()> cancelled = {})
        : device_(device), cancelled_(std::move(cancelled)) {}
    bool Write(std::string_view bytes, dsc::Origin /*origin*/) override {
        if (cancelled_ && cancelled_())
            return false;
        return bytes.empty() ||
               papplDeviceWrite(device_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    }

    bool Finish(std::string* /*error*/) override {
        papplDeviceFlush(device_);
        return true;
    }

private:
    pappl_device_t* device_;
    std::function<bool()> cancelled_;
};

} // namespace klv::app
