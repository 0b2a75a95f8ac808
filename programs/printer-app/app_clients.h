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

// PAPPL may keep a printer's connection open while jobs follow one another,
// so one connection's file can hold several jobs: they are told apart by
// their DSC header and their %%EOF.
// The whole jobs received so far, in order.
std::vector<std::string> ReceivedJobs(const klv::testing::LoopbackPrinter& printer);

// Waits until at least count whole jobs have arrived; false after seconds.
bool WaitForReceivedJobs(const klv::testing::LoopbackPrinter& printer, std::size_t count,
                         double seconds = 90);

} // namespace klv::app::testing
