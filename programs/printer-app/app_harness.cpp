#include "programs/printer-app/app_harness.h"

#include "libraries/support/files.h"
#include "libraries/support/process.h"
#include "testing/print_server.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <fstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace klv::app::testing {

namespace fs = std::filesystem;

PrinterApp::PrinterApp() {
    // PAPPL names the control socket after the program, so a link with a
    // name of its own keeps this server apart from any other.
    program_ = dir_.Path() / ("klvps-printer-app-test-" + std::to_string(getpid()) + "-" +
                              std::to_string(reinterpret_cast<std::uintptr_t>(this) % 100000));
    fs::create_symlink(KLVPS_PRINTER_APP_PATH, program_);
    port_ = klv::testing::FreePort();
    Start();
}

PrinterApp::~PrinterApp() {
    Stop();
}

bool PrinterApp::Start() {
    const std::string log = (dir_.Path() / "server.log").string();
    const std::vector<std::string> arguments = {program_.string(),
                                                "server",
                                                "-o",
                                                "listen=127.0.0.1",
                                                "-o",
                                                "server-port=" + std::to_string(port_),
                                                "-o",
                                                "spool-directory=" + (dir_.Path() / "spool").string(),
                                                "-o",
                                                "state-file=" +
                                                    (dir_.Path() / "state" / "app.state").string(),
                                                "-o",
                                                "log-file=" + log,
                                                "-o",
                                                "log-level=info",
                                                "-o",
                                                "tls=off"};
    pid_ = fork();
    if (pid_ == 0) {
        setenv("KLVPS_PLUGIN", KLVPS_PLUGIN_PATH, 1);
        setenv("TMPDIR", dir_.Path().c_str(), 1);
        std::vector<char*> argv;
        for (const std::string& a : arguments)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        freopen((dir_.Path() / "server.out").c_str(), "a", stderr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    for (int i = 0; i < 200 && !running_; ++i) {
        running_ = klv::testing::Answers(port_);
        if (!running_)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return running_;
}

void PrinterApp::Stop() {
    if (pid_ <= 0)
        return;
    kill(pid_, SIGTERM);
    for (int i = 0; i < 200; ++i) {
        if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
            pid_ = -1;
            running_ = false;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
    running_ = false;
}

int PrinterApp::Command(const std::vector<std::string>& arguments, std::string* output) const {
    std::vector<std::string> argv = {program_.string()};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    const support::ProcessResult run = support::RunProcess(argv, 60);
    if (output != nullptr)
        *output = run.output;
    return run.exitStatus;
}

std::string PrinterApp::Log() const {
    return support::ReadWholeFile(dir_.Path() / "server.log");
}

std::string IppResult::Value(const std::string& attribute) const {
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);) {
        const std::size_t at = line.find(attribute + " (");
        if (at == std::string::npos || line.find_first_not_of(' ') != at)
            continue;
        const std::size_t equals = line.find(" = ", at);
        if (equals != std::string::npos)
            return line.substr(equals + 3);
    }
    return {};
}

IppResult Ipp(const fs::path& dir, const std::string& uri, const std::string& test,
              const std::map<std::string, std::string>& variables, const std::string& file) {
    static std::atomic<int> serial = 0;
    const fs::path testFile = dir / ("request-" + std::to_string(++serial) + ".test");
    std::ofstream(testFile) << test;
    std::vector<std::string> argv = {"ipptool", "-tv"};
    for (const auto& [name, value] : variables) {
        argv.push_back("-d");
        argv.push_back(name + "=" + value);
    }
    if (!file.empty()) {
        argv.push_back("-f");
        argv.push_back(file);
    }
    argv.push_back(uri);
    argv.push_back(testFile.string());
    const support::ProcessResult run = support::RunProcess(argv, 120);
    return {run.exitStatus, run.output};
}

std::string CheckJson(const fs::path& dir, const std::string& job) {
    static int serial = 0;
    const fs::path path = dir / ("received-" + std::to_string(++serial) + ".ps");
    std::ofstream(path, std::ios::binary) << job;
    const support::ProcessResult run =
        support::RunProcess({KLVPS_TOOL_PATH, "check", "--json", path.string()}, 120);
    // Standard error comes interleaved; the report is the one JSON object.
    const std::size_t first = run.output.find('{');
    const std::size_t last = run.output.rfind('}');
    return first == std::string::npos || last < first ? std::string()
                                                      : run.output.substr(first, last - first + 1);
}

} // namespace klv::app::testing
