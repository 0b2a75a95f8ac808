// The printer application's drivers: a PostScript printer that takes every
// job through the klvps plug-in. The administrator declares what the
// printer has by the driver chosen: monochrome or colour, one-sided or
// duplex. Every document format a client sends is turned into one DSC
// PostScript job and served to the plug-in on its way to the device.
#pragma once

#include "libraries/simulator/simulator.h"
#include "programs/printer-app/ipp_settings.h"

#include <pappl/pappl.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace klv::app {

// What the drivers need from the running application.
struct AppConfig {
    std::string pluginPath;
    // The plug-in, loaded once as the driver loads its DLL once; every job
    // runs its own device session through it.
    std::unique_ptr<sim::Simulator> simulator;
    // The plug-in's default device mode, which the printer's defaults start
    // from and every job's settings apply over.
    std::vector<std::uint8_t> defaultBlock;
};

// Set once before the system runs; read by every job.
AppConfig& Config();

std::vector<pappl_pr_driver_t>& Drivers();

// A job's attribute by name: the job's own, or a request's before the job
// exists. Null when it has none.
using FindAttribute = std::function<ipp_attribute_t*(const char* name)>;

// The device mode a job on printer prints with: the plug-in's defaults,
// the printer's, then the job's own values and its job-password. Stops at
// the first value the plug-in refuses, which it returns.
std::optional<AttributeRefusal> BuildJobBlock(pappl_printer_t* printer, const FindAttribute& find,
                                              std::vector<std::uint8_t>* block);

bool DriverCallback(pappl_system_t* system, const char* driverName, const char* deviceUri,
                    const char* deviceId, pappl_pr_driver_data_t* data, ipp_t** attrs, void* context);

// Picks a driver for a printer found with an IEEE 1284 device ID: any
// printer that speaks PostScript.
const char* AutoAddCallback(const char* deviceInfo, const char* deviceUri, const char* deviceId,
                            void* context);

// Registers the formats the application converts to PostScript itself.
void AddFormats(pappl_system_t* system);

// Whether a document of this MIME type can be printed.
bool CanPrint(std::string_view format);

} // namespace klv::app
