// The Debian packages on this machine: install one build, print through a
// queue made from the installed PPD file, start the installed printer
// application, upgrade to the next build, print again through the same
// queue, remove and purge, and find the system's file list as it was. It
// changes the machine while it runs, so it runs only when given both
// builds' folders of .deb files:
//   KLVPS_DEBS=dist KLVPS_NEXT_DEBS=build/next-debs package_test
#include "libraries/support/files.h"
#include "libraries/support/temp_dir.h"
#include "testing/print_server.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;
using klv::support::ProcessResult;
using klv::support::RunProcess;

const std::vector<std::string> kPackages = {"klvps-plugin", "klvps", "printer-driver-klvps",
                                            "klvps-printer-app"};

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

std::vector<std::string> Debs(const char* variable) {
    std::vector<std::string> debs;
    const char* dir = std::getenv(variable);
    if (dir == nullptr || !fs::is_directory(dir))
        return debs;
    for (const fs::directory_entry& e : fs::directory_iterator(dir)) {
        const std::string name = e.path().filename().string();
        for (const std::string& package : kPackages) {
            if (name.rfind(package + "_", 0) == 0 && e.path().extension() == ".deb")
                debs.push_back(fs::absolute(e.path()).string());
        }
    }
    std::sort(debs.begin(), debs.end());
    return debs;
}

ProcessResult Apt(std::vector<std::string> argv) {
    std::vector<std::string> command = {"/usr/bin/env", "DEBIAN_FRONTEND=noninteractive", "apt-get", "-y",
                                        "-q",           "--no-install-recommends"};
    command.insert(command.end(), argv.begin(), argv.end());
    return RunProcess(command, 300);
}

std::string InstalledVersion(const std::string& package) {
    const ProcessResult run = RunProcess({"dpkg-query", "-W", "-f=${db:Status-Abbrev}${Version}", package});
    return run.exitStatus == 0 && run.output.rfind("ii ", 0) == 0 ? run.output.substr(3) : "";
}

// Every path under the folders a package may write to, less those that
// change with any use of the package tools (logs, apt's own state, dpkg's
// backups of its database).
std::set<std::string> SystemFiles() {
    const ProcessResult run = RunProcess({"find",
                                          "/usr",
                                          "/etc",
                                          "/opt",
                                          "/var/lib",
                                          "/var/cache",
                                          "/var/spool",
                                          "-xdev",
                                          "(",
                                          "-path",
                                          "/var/lib/apt",
                                          "-o",
                                          "-path",
                                          "/var/cache/apt",
                                          "-o",
                                          "-path",
                                          "/var/cache/debconf",
                                          "-o",
                                          "-path",
                                          "/var/cache/ldconfig",
                                          "-o",
                                          "-name",
                                          "*-old",
                                          "-o",
                                          "-path",
                                          "/var/lib/dpkg/triggers",
                                          "-o",
                                          "-path",
                                          "/var/lib/dpkg/updates",
                                          "-o",
                                          "-path",
                                          "/var/cache/man",
                                          ")",
                                          "-prune",
                                          "-o",
                                          "-print"},
                                         300);
    std::set<std::string> files;
    std::string line;
    for (char c : run.output) {
        if (c != '\n') {
            line += c;
            continue;
        }
        files.insert(line);
        line.clear();
    }
    return files;
}

std::string Difference(const std::set<std::string>& before, const std::set<std::string>& after) {
    std::vector<std::string> gone;
    std::vector<std::string> added;
    std::set_difference(before.begin(), before.end(), after.begin(), after.end(), std::back_inserter(gone));
    std::set_difference(after.begin(), after.end(), before.begin(), before.end(), std::back_inserter(added));
    std::string text;
    for (const std::string& f : gone)
        text += "gone:  " + f + "\n";
    for (const std::string& f : added)
        text += "added: " + f + "\n";
    return text;
}

// The installed printer application started as its service starts it,
// with nothing in its environment (the packaged plug-in's path is built
// in), on a free port of 127.0.0.1 with a spool and state of its own. It
// takes a printer, names it when asked, and stops on SIGTERM, as systemd
// stops it. (Its `shutdown` sub-command takes PAPPL's 30 seconds.)
void ServeFromThePackage() {
    klv::support::TempDir dir;
    const int port = klv::testing::FreePort();
    const std::string log = (dir.Path() / "app.log").string();
    const std::vector<std::string> server = {"/usr/bin/klvps-printer-app",
                                             "server",
                                             "-o",
                                             "listen=127.0.0.1",
                                             "-o",
                                             "server-port=" + std::to_string(port),
                                             "-o",
                                             "spool-directory=" + (dir.Path() / "spool").string(),
                                             "-o",
                                             "state-file=" + (dir.Path() / "state/app.state").string(),
                                             "-o",
                                             "log-file=" + log,
                                             "-o",
                                             "tls=off"};
    const pid_t pid = fork();
    if (pid == 0) {
        std::vector<char*> argv;
        for (const std::string& a : server)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        char* const env[] = {const_cast<char*>("PATH=/usr/bin:/bin"), nullptr};
        execve(argv[0], argv.data(), env);
        _exit(127);
    }
    bool up = false;
    for (int i = 0; i < 200 && !up; ++i) {
        up = klv::testing::Answers(port);
        if (!up)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_TRUE(up) << klv::support::ReadWholeFile(log);
    const auto command = [](std::vector<std::string> argv) {
        argv.insert(argv.begin(), {"/usr/bin/env", "-i", "PATH=/usr/bin:/bin", "/usr/bin/klvps-printer-app"});
        return RunProcess(argv, 60);
    };
    if (up) {
        const ProcessResult added =
            command({"add", "-d", "lab", "-m", "klvps-ps", "-v", "socket://127.0.0.1:9"});
        EXPECT_EQ(added.exitStatus, 0) << added.output;
        const ProcessResult printers = command({"printers"});
        EXPECT_EQ(printers.output, "lab\n") << klv::support::ReadWholeFile(log);
    }
    kill(pid, SIGTERM);
    int status = -1;
    for (int i = 0; i < 200 && waitpid(pid, &status, WNOHANG) == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    if (waitpid(pid, &status, WNOHANG) == 0) {
        ADD_FAILURE() << "the application did not stop on SIGTERM";
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
    }
}

// A queue on a cupsd of the test's own whose filter is the installed one.
struct Queue {
    klv::support::TempDir dir;
    std::unique_ptr<klv::testing::LoopbackPrinter> printer;
    std::unique_ptr<klv::testing::CupsServer> server;
};

class Packages : public ::testing::Test {
protected:
    void SetUp() override {
        debs_ = Debs("KLVPS_DEBS");
        next_ = Debs("KLVPS_NEXT_DEBS");
        if (debs_.size() != kPackages.size() || next_.size() != kPackages.size())
            GTEST_SKIP() << "KLVPS_DEBS and KLVPS_NEXT_DEBS must each name a folder with the four packages";
        if (getuid() != 0)
            GTEST_SKIP() << "installing packages needs root";
        for (const std::string& package : kPackages) {
            if (!InstalledVersion(package).empty())
                GTEST_SKIP() << package << " is already installed; remove it first";
        }
    }

    // Whatever happened, the machine ends without the packages.
    void TearDown() override {
        if (IsSkipped())
            return;
        Purge();
    }

    // dpkg, since apt no longer knows a package that was removed and left
    // no configuration behind.
    static ProcessResult Purge() {
        std::vector<std::string> purge = {"dpkg", "--purge"};
        purge.insert(purge.end(), kPackages.begin(), kPackages.end());
        return RunProcess(purge, 300);
    }

    // Prints a job through the queue and returns what the printer received.
    std::string PrintThrough(Queue& queue, const std::string& user) {
        const fs::path job = queue.dir.Path() / "job.ps";
        klv::support::WriteWholeFile(job, "%!PS-Adobe-3.0\n%%Pages: 1\n%%EndComments\n%%Page: 1 1\n"
                                          "72 720 moveto /Helvetica findfont 24 scalefont setfont (x) show\n"
                                          "showpage\n%%EOF\n");
        const std::size_t before = queue.printer->Jobs().size();
        const ProcessResult lp =
            queue.server->Run({"lp", "-d", "q", "-U", user, "-t", "upgrade", job.string()});
        EXPECT_EQ(lp.exitStatus, 0) << lp.output;
        if (!queue.printer->WaitForJobs(before + 1, 90))
            return "no job arrived\n" + queue.server->ErrorLogTail();
        return klv::support::ReadWholeFile(queue.printer->Jobs().back());
    }

    std::vector<std::string> debs_;
    std::vector<std::string> next_;
};

TEST_F(Packages, InstallUpgradeRemoveAndPurgeLeaveTheSystemAsItWas) {
    const std::set<std::string> before = SystemFiles();

    std::vector<std::string> install = {"install"};
    install.insert(install.end(), debs_.begin(), debs_.end());
    const ProcessResult installed = Apt(install);
    ASSERT_EQ(installed.exitStatus, 0) << installed.output;
    const std::string version = InstalledVersion("printer-driver-klvps");
    ASSERT_FALSE(version.empty());

    // The command finds the packaged plug-in by itself.
    const ProcessResult info = RunProcess({"/usr/bin/env", "-i", "/usr/bin/klvps", "info"});
    EXPECT_EQ(info.exitStatus, 0) << info.output;

    ServeFromThePackage();

    Queue queue;
    queue.printer = std::make_unique<klv::testing::LoopbackPrinter>(queue.dir.Path() / "printer");
    queue.server = std::make_unique<klv::testing::CupsServer>(queue.dir.Path() / "cups",
                                                              std::map<std::string, fs::path>{});
    std::string error;
    ASSERT_TRUE(queue.server->Start(&error)) << error;
    // The model that CUPS's package finds for a queue when it updates PPD
    // files: the installed ppd-updaters file's pattern over the server's list.
    const ProcessResult models =
        queue.server->Run({"sh", "-c",
                           ". /usr/share/cups/ppd-updaters/printer-driver-klvps.ppd-updater && "
                           "lpinfo -m | grep -E \"$DRIVER_REGEXP\" | cut -d ' ' -f 1"});
    ASSERT_EQ(models.output, "lsb/usr/klvps/klvps.ppd\n") << queue.server->Run({"lpinfo", "-m"}).output;
    const ProcessResult added =
        queue.server->Run({"lpadmin", "-p", "q", "-E", "-v", queue.printer->Uri(), "-m",
                           "lsb/usr/klvps/klvps.ppd", "-o", "klvps-watermark=CONFIDENTIAL"});
    ASSERT_EQ(added.exitStatus, 0) << added.output << queue.server->ErrorLogTail();
    const std::string first = PrintThrough(queue, "alice");
    EXPECT_TRUE(Contains(first, "(alice) /ZUDurareDirod")) << first.substr(0, 2000);
    EXPECT_TRUE(Contains(first, "/Watermark (CONFIDENTIAL) def"));

    std::vector<std::string> upgrade = {"install"};
    upgrade.insert(upgrade.end(), next_.begin(), next_.end());
    const ProcessResult upgraded = Apt(upgrade);
    ASSERT_EQ(upgraded.exitStatus, 0) << upgraded.output;
    for (const std::string& package : kPackages)
        EXPECT_NE(InstalledVersion(package), version) << package << " was not upgraded";
    const std::string second = PrintThrough(queue, "bob");
    EXPECT_TRUE(Contains(second, "(bob) /ZUDurareDirod")) << second.substr(0, 2000);
    EXPECT_TRUE(Contains(second, "/Watermark (CONFIDENTIAL) def")) << "the queue kept its default";
    queue.server->Stop();

    std::vector<std::string> remove = {"remove"};
    remove.insert(remove.end(), kPackages.begin(), kPackages.end());
    const ProcessResult removed = Apt(remove);
    ASSERT_EQ(removed.exitStatus, 0) << removed.output;
    for (const char* path : {"/usr/bin/klvps", "/usr/lib/cups/filter/klvps-cupsfilter",
                             "/usr/share/ppd/klvps/klvps.ppd", "/usr/bin/klvps-printer-app"})
        EXPECT_FALSE(fs::exists(path)) << path;
    const ProcessResult purged = Purge();
    ASSERT_EQ(purged.exitStatus, 0) << purged.output;

    EXPECT_EQ(Difference(before, SystemFiles()), "");
}

} // namespace
