#include "testing/print_server.h"

#include "libraries/support/files.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <deque>
#include <fstream>
#include <optional>
#include <regex>
#include <stdexcept>
#include <thread>

namespace klv::testing {

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

// Waits at most seconds for the child to exit, then kills it.
void EndChild(pid_t pid, double seconds) {
    const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (Clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

// One line from fd, waiting at most seconds.
std::string ReadLine(int fd, double seconds) {
    const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
    std::string line;
    char c = 0;
    while (Clock::now() < deadline) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 100) <= 0)
            continue;
        if (read(fd, &c, 1) != 1)
            break;
        if (c == '\n')
            return line;
        line += c;
    }
    return line;
}

// cupsd runs filters as lp when started by root: the folders it hands them
// must be open to that user.
void OpenToAll(const fs::path& dir) {
    fs::permissions(dir, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                             fs::perms::others_read | fs::perms::others_exec);
}

} // namespace

int FreePort() {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    int port = 0;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0)
        port = ntohs(address.sin_port);
    close(fd);
    return port;
}

bool Answers(int port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    const bool answers = fd >= 0 && connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    if (fd >= 0)
        close(fd);
    return answers;
}

LoopbackPrinter::LoopbackPrinter(fs::path dir) : dir_(std::move(dir)) {
    // A printer that has gone away makes a command fail, not the test die.
    signal(SIGPIPE, SIG_IGN);
    fs::create_directories(dir_);
    int in[2];
    int out[2];
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0)
        throw std::runtime_error("loopback printer: no pipe");
    pid_ = fork();
    if (pid_ == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        execl(KLVPS_LOOPBACK_PRINTER_PATH, KLVPS_LOOPBACK_PRINTER_PATH, "--dir", dir_.c_str(),
              static_cast<char*>(nullptr));
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    toPrinter_ = in[1];
    fromPrinter_ = out[0];
    const std::string first = ReadLine(fromPrinter_, 10);
    if (first.rfind("listening ", 0) != 0) {
        close(toPrinter_);
        close(fromPrinter_);
        EndChild(pid_, 10);
        throw std::runtime_error("loopback printer did not start: '" + first + "'");
    }
    port_ = std::atoi(first.c_str() + 10);
}

LoopbackPrinter::~LoopbackPrinter() {
    close(toPrinter_);
    close(fromPrinter_);
    if (pid_ > 0)
        EndChild(pid_, 10);
}

std::string LoopbackPrinter::Uri() const {
    return "socket://127.0.0.1:" + std::to_string(port_);
}

std::string LoopbackPrinter::Command(const std::string& line) {
    const std::string text = line + "\n";
    if (write(toPrinter_, text.data(), text.size()) != static_cast<ssize_t>(text.size()))
        return {};
    return ReadLine(fromPrinter_, 10);
}

bool LoopbackPrinter::StopListening() {
    return Command("stop") == "stopped";
}

bool LoopbackPrinter::Listen() {
    return Command("listen") == "listening " + std::to_string(port_);
}

bool LoopbackPrinter::SetRate(long bytesPerSecond) {
    return Command("rate " + std::to_string(bytesPerSecond)) == "ok";
}

std::vector<fs::path> LoopbackPrinter::Jobs(const std::string& extension) const {
    std::vector<fs::path> jobs;
    for (const fs::directory_entry& e : fs::directory_iterator(dir_)) {
        if (e.path().extension() == extension)
            jobs.push_back(e.path());
    }
    std::sort(jobs.begin(), jobs.end());
    return jobs;
}

bool LoopbackPrinter::WaitForJobs(std::size_t count, double seconds) const {
    const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
    while (Jobs(".prn").size() + Jobs(".reset").size() < count) {
        if (Clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return true;
}

std::string LoopbackPrinter::Received() const {
    // A connection that ends while it is read is renamed under the reader:
    // then the folder is read again.
    std::string bytes;
    for (int attempt = 0; attempt < 5; ++attempt) {
        std::vector<fs::path> files;
        for (const fs::directory_entry& e : fs::directory_iterator(dir_)) {
            const fs::path extension = e.path().extension();
            if (extension == ".prn" || extension == ".reset" || extension == ".partial")
                files.push_back(e.path());
        }
        // job-NNNN sorts in connection order whatever its extension.
        std::sort(files.begin(), files.end(),
                  [](const fs::path& a, const fs::path& b) { return a.stem() < b.stem(); });
        bytes.clear();
        bool whole = true;
        for (const fs::path& file : files) {
            std::string error;
            const std::optional<std::string> text = support::ReadFile(file, &error);
            whole = whole && text.has_value();
            if (text)
                bytes += *text;
        }
        if (whole)
            break;
    }
    return bytes;
}

std::vector<std::string> LoopbackPrinter::Documents() const {
    constexpr std::string_view kStart = "%!PS-Adobe-";
    constexpr std::string_view kEnd = "%%EOF";
    const std::string received = Received();
    std::vector<std::string> documents;
    for (std::size_t at = received.find(kStart); at != std::string::npos;) {
        const std::size_t next = received.find(kStart, at + 1);
        std::string document = received.substr(at, next == std::string::npos ? next : next - at);
        if (document.find(kEnd) != std::string::npos)
            documents.push_back(std::move(document));
        at = next;
    }
    return documents;
}

bool LoopbackPrinter::WaitForDocuments(std::size_t count, double seconds) const {
    const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
    while (Documents().size() < count) {
        if (Clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

CupsServer::CupsServer(fs::path root, std::map<std::string, fs::path> filters) : root_(std::move(root)) {
    for (const char* dir : {"", "etc", "etc/ppd", "spool", "spool/tmp", "cache", "state", "log", "serverbin",
                            "serverbin/filter", "serverbin/backend"})
        fs::create_directories(root_ / dir);
    for (const fs::path& dir : {root_.parent_path(), root_, root_ / "serverbin", root_ / "serverbin/filter",
                                root_ / "serverbin/backend"})
        OpenToAll(dir);
    // The system's helpers as they are; filters and backends one by one,
    // so that ours take the place of installed ones.
    for (const char* dir : {"daemon", "cgi-bin", "driver", "monitor", "notifier"}) {
        if (fs::exists(fs::path("/usr/lib/cups") / dir))
            fs::create_directory_symlink(fs::path("/usr/lib/cups") / dir, root_ / "serverbin" / dir);
    }
    for (const fs::directory_entry& e : fs::directory_iterator("/usr/lib/cups/filter")) {
        if (filters.count(e.path().filename().string()) == 0)
            fs::create_symlink(e.path(), root_ / "serverbin/filter" / e.path().filename());
    }
    // CUPS checks that a filter belongs to root and is writable by no one
    // else: a copy made here does, wherever the build lives.
    for (const auto& [name, program] : filters) {
        fs::copy_file(program, root_ / "serverbin/filter" / name);
        fs::permissions(root_ / "serverbin/filter" / name,
                        fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                            fs::perms::others_read | fs::perms::others_exec);
    }
    for (const fs::directory_entry& e : fs::directory_iterator("/usr/lib/cups/backend"))
        fs::create_symlink(e.path(), root_ / "serverbin/backend" / e.path().filename());
    // Debian's package keeps the socket backend aside until it is chosen.
    if (!fs::exists(root_ / "serverbin/backend/socket") &&
        fs::exists("/usr/lib/cups/backend-available/socket"))
        fs::create_symlink("/usr/lib/cups/backend-available/socket", root_ / "serverbin/backend/socket");
    port_ = FreePort();
    WriteConfiguration();
}

CupsServer::~CupsServer() {
    Stop();
}

void CupsServer::WriteConfiguration() const {
    // No authentication and no browsing: the test is the only client, on
    // the loopback address. Jobs are retried every two seconds.
    const std::string conf = "Listen 127.0.0.1:" + std::to_string(port_) +
                             "\n"
                             "LogLevel debug\n"
                             "MaxLogSize 0\n"
                             "Browsing No\n"
                             "BrowseLocalProtocols none\n"
                             "WebInterface No\n"
                             "DefaultAuthType None\n"
                             "JobRetryInterval 2\n"
                             "JobRetryLimit 30\n"
                             "PreserveJobHistory Yes\n"
                             "PreserveJobFiles No\n"
                             "MaxJobs 0\n"
                             "<Location />\n  Order allow,deny\n  Allow all\n</Location>\n"
                             "<Policy default>\n  <Limit All>\n    Order deny,allow\n  </Limit>\n</Policy>\n";
    const fs::path r = root_;
    std::string files = "ServerRoot " + (r / "etc").string() + "\nRequestRoot " + (r / "spool").string() +
                        "\nTempDir " + (r / "spool/tmp").string() + "\nCacheDir " + (r / "cache").string() +
                        "\nStateDir " + (r / "state").string() + "\nServerBin " + (r / "serverbin").string() +
                        "\nErrorLog " + (r / "log/error_log").string() + "\nAccessLog " +
                        (r / "log/access_log").string() + "\nPageLog " + (r / "log/page_log").string() +
                        "\nFileDevice No\n";
    if (getuid() == 0)
        files += "User lp\nGroup lp\nSystemGroup root\n";
    // The loopback printer answers no SNMP: without a community the
    // network backends ask for no supply levels, and do not wait for them.
    std::ofstream(r / "etc/snmp.conf") << "Community\n";
    std::ofstream(r / "etc/cupsd.conf") << conf;
    std::ofstream(r / "etc/cups-files.conf") << files;
}

bool CupsServer::Start(std::string* error) {
    if (pid_ > 0)
        return true;
    const std::string conf = (root_ / "etc/cupsd.conf").string();
    const std::string files = (root_ / "etc/cups-files.conf").string();
    pid_ = fork();
    if (pid_ == 0) {
        const int null = open("/dev/null", O_RDWR);
        dup2(null, 0);
        dup2(null, 1);
        dup2(null, 2);
        setpgid(0, 0);
        char* const env[] = {const_cast<char*>("PATH=/usr/sbin:/usr/bin:/sbin:/bin"),
                             const_cast<char*>("LANG=C.UTF-8"), nullptr};
        execle("/usr/sbin/cupsd", "cupsd", "-f", "-c", conf.c_str(), "-s", files.c_str(),
               static_cast<char*>(nullptr), env);
        _exit(127);
    }
    const auto deadline = Clock::now() + std::chrono::seconds(30);
    while (Clock::now() < deadline) {
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            *error = "cupsd exited at start\n" + ErrorLogTail();
            return false;
        }
        if (Run({"lpstat", "-r"}, 10).output.find("scheduler is running") != std::string::npos)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    *error = "cupsd did not answer within 30 seconds\n" + ErrorLogTail();
    Stop();
    return false;
}

void CupsServer::Stop() {
    if (pid_ <= 0)
        return;
    kill(pid_, SIGTERM);
    EndChild(pid_, 20);
    // What it started (filters, backends) goes with it.
    kill(-pid_, SIGKILL);
    pid_ = -1;
}

std::string CupsServer::Address() const {
    return "127.0.0.1:" + std::to_string(port_);
}

support::ProcessResult CupsServer::Run(const std::vector<std::string>& argv, double timeoutSeconds) const {
    std::vector<std::string> command = {"/usr/bin/env",
                                        "-i",
                                        "PATH=/usr/sbin:/usr/bin:/sbin:/bin",
                                        "LANG=C",
                                        "CUPS_SERVER=" + Address(),
                                        "HOME=" + root_.string()};
    command.insert(command.end(), argv.begin(), argv.end());
    return support::RunProcess(command, timeoutSeconds);
}

std::string CupsServer::JobLog(int id) const {
    std::ifstream in(root_ / "log/error_log");
    const std::string tag = "[Job " + std::to_string(id) + "] ";
    std::string text;
    for (std::string line; std::getline(in, line);) {
        if (line.find(tag) != std::string::npos)
            text += line + "\n";
    }
    return text;
}

std::string CupsServer::ErrorLogTail(std::size_t lines) const {
    std::ifstream in(root_ / "log/error_log");
    std::deque<std::string> tail;
    for (std::string line; std::getline(in, line);) {
        tail.push_back(line);
        if (tail.size() > lines)
            tail.pop_front();
    }
    std::string text = "--- cupsd error_log, last lines ---\n";
    for (const std::string& line : tail)
        text += line + "\n";
    return text;
}

int JobIdFromLp(const std::string& output) {
    static const std::regex kRequest(R"(request id is \S+-([0-9]+))");
    std::smatch match;
    return std::regex_search(output, match, kRequest) ? std::atoi(match[1].str().c_str()) : 0;
}

} // namespace klv::testing
