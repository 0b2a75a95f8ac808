#include "libraries/support/process.h"

#include "libraries/support/files.h"
#include "libraries/support/temp_dir.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <system_error>
#include <thread>

extern char** environ;

namespace klv::support {

namespace fs = std::filesystem;

ProcessResult RunProcess(const std::vector<std::string>& argv, double timeoutSeconds) {
    ProcessResult result;
    if (argv.empty())
        return result;
    TempDir dir;
    const fs::path capture = dir.Path() / "output";

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, capture.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);

    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);

    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        result.output = "cannot start " + argv[0] + ": " + std::generic_category().message(spawned);
        return result;
    }
    result.started = true;

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeoutSeconds);
    int status = 0;
    for (;;) {
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid)
            break;
        if (done < 0 && errno != EINTR) {
            status = -1;
            break;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            result.timedOut = true;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (!result.timedOut && status != -1 && WIFEXITED(status))
        result.exitStatus = WEXITSTATUS(status);
    result.output = ReadWholeFile(capture);
    // posix_spawnp reports a missing program only through the child's exit
    // status 127 on some C libraries.
    if (result.exitStatus == 127 && result.output.empty())
        result.started = false;
    return result;
}

} // namespace klv::support
