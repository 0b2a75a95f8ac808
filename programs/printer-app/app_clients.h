// What the tests of the printer application behind real clients share:
// a job sent with ipptool, and the jobs the loopback printer behind the
// application (testing/print_server.h) received.
#pragma once

#include "programs/printer-app/app_harness.h"
#include "testing/print_server.h"

#include <string>
#include <vector>

namespace klv::app::testing {

// Print-Job of file to the app's printer, billed to owner under title, with
// job attributes in ipptool's syntax (" ATTR text klvps-watermark DRAFT\n").
IppResult PrintFile(const PrinterApp& app, const std::string& printer, const std::filesystem::path& file,
                    const std::string& format, const std::string& owner, const std::string& title,
                    const std::string& attributes = {});

// Waits until the job has ended; its job-state ("completed", ...).
std::string WaitForJobEnd(const PrinterApp& app, const std::string& printer, const std::string& id);

} // namespace klv::app::testing
