// What the printer application's tests start: the application itself on
// 127.0.0.1 with a free port, its own spool, state file and control socket
// (the printer behind it is testing/print_server.h's LoopbackPrinter). It
// stops when destroyed.
#pragma once

#include "libraries/support/temp_dir.h"

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace klv::app::testing {

class PrinterApp {
public:
    // Starts the server; ASSERT on Running() before use.
    PrinterApp();
    ~PrinterApp();
    bool Running() const { return running_; }
    void Stop();
    bool Start();
    int Port() const { return port_; }
    const std::filesystem::path& Dir() const { return dir_.Path(); }
    std::string PrinterUri(const std::string& name) const {
        return "ipp://127.0.0.1:" + std::to_string(port_) + "/ipp/print/" + name;
    }
    // Runs a sub-command through the control socket; returns its exit
    // status, its output in *output.
    int Command(const std::vector<std::string>& arguments, std::string* output = nullptr) const;
    // Adds a colour PostScript printer that sends to deviceUri; false with
    // the sub-command's output in *output.
    bool AddPrinter(const std::string& name, const std::string& deviceUri, std::string* output) const {
        return Command({"add", "-d", name, "-m", "klvps-ps-color", "-v", deviceUri}, output) == 0;
    }
    std::string Log() const;

private:
    support::TempDir dir_;
    std::filesystem::path program_; // a link to the application, unique to this run
    int port_ = 0;
    int pid_ = -1;
    bool running_ = false;
};

// ipptool with a test file written from `test` and -d NAME=VALUE for each
// variable; the output of -tv.
struct IppResult {
    int status = -1;
    std::string output;
    // The value ipptool printed for an attribute ("job-id (integer) = 7").
    std::string Value(const std::string& attribute) const;
};
IppResult Ipp(const std::filesystem::path& dir, const std::string& uri, const std::string& test,
              const std::map<std::string, std::string>& variables, const std::string& file = {});

// `klvps check --json` of a job; empty when it cannot run.
std::string CheckJson(const std::filesystem::path& dir, const std::string& job);

} // namespace klv::app::testing
