// What the printer application's tests start: the application itself on
// 127.0.0.1 with a free port, its own spool, state file and control socket,
// and a loopback AppSocket printer that keeps every job it receives. Both
// stop when destroyed.
#pragma once

#include "libraries/support/temp_dir.h"

#include <atomic>
#include <filesystem>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace klv::app::testing {

int FreePort();

// Accepts connections on 127.0.0.1, one at a time, and keeps what they
// send. PAPPL keeps a printer's connection open while jobs follow one
// another, so jobs are told apart by their DSC header and %%EOF.
class LoopbackPrinter {
public:
    LoopbackPrinter();
    ~LoopbackPrinter();
    int Port() const { return port_; }
    std::string Uri() const { return "socket://127.0.0.1:" + std::to_string(port_); }
    // Waits until `count` whole jobs have arrived; false after the timeout.
    bool WaitForJobs(std::size_t count, double seconds = 60);
    std::vector<std::string> Jobs();
    std::string Received(); // every byte, in order

private:
    void Serve();
    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::string received_;
    int connections_ = 0;
    std::thread thread_;
};

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
