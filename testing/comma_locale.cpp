#include "testing/comma_locale.h"

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace klv::testing {

namespace {

namespace fs = std::filesystem;

constexpr const char* kInstalled[] = {"de_DE.UTF-8", "de_DE.utf8",  "de_DE",      "fr_FR.UTF-8",
                                      "fr_FR.utf8",  "nl_NL.UTF-8", "ru_RU.UTF-8"};
constexpr const char kGeneratedName[] = "de_DE.UTF-8";

bool SwitchTo(const char* name) {
    if (std::setlocale(LC_ALL, name) == nullptr)
        return false;
    return std::strcmp(std::localeconv()->decimal_point, ",") == 0;
}

// Runs a program found on the PATH with its output discarded; true when it
// exited with 0.
bool Run(const char* const argv[]) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t child = 0;
    const int started =
        posix_spawnp(&child, argv[0], &actions, nullptr, const_cast<char* const*>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (started != 0)
        return false;
    int status = 0;
    if (waitpid(child, &status, 0) != child)
        return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// A de_DE locale compiled into a directory of its own, made once and
// removed when the program ends.
class GeneratedLocale {
public:
    GeneratedLocale() {
        std::error_code error;
        const fs::path base = fs::temp_directory_path(error);
        if (error)
            return;
        std::string buffer = (base / "klvps-locale-XXXXXX").string();
        if (mkdtemp(buffer.data()) == nullptr)
            return;
        dir_ = buffer;
        const std::string target = (fs::path(dir_) / kGeneratedName).string();
        const char* const argv[] = {"localedef", "-i", "de_DE", "-f", "UTF-8", target.c_str(), nullptr};
        made_ = Run(argv) && fs::exists(fs::path(target) / "LC_NUMERIC");
    }
    ~GeneratedLocale() {
        if (!dir_.empty()) {
            std::error_code ignored;
            fs::remove_all(dir_, ignored);
        }
    }

    bool Made() const { return made_; }
    const std::string& Dir() const { return dir_; }

private:
    std::string dir_;
    bool made_ = false;
};

} // namespace

CommaDecimalLocale::CommaDecimalLocale() {
    previousLocale_ = std::setlocale(LC_ALL, nullptr);
    if (const char* path = std::getenv("LOCPATH"))
        previousLocPath_ = path;
    for (const char* name : kInstalled) {
        if (SwitchTo(name)) {
            active_ = true;
            return;
        }
    }
    static GeneratedLocale generated;
    if (!generated.Made()) {
        std::setlocale(LC_ALL, previousLocale_.c_str());
        why_ = "no comma-decimal locale is installed, and localedef could not compile de_DE";
        return;
    }
    setenv("LOCPATH", generated.Dir().c_str(), 1);
    active_ = SwitchTo(kGeneratedName);
    if (!active_) {
        std::setlocale(LC_ALL, previousLocale_.c_str());
        why_ = "the locale compiled by localedef does not use a decimal comma";
    }
}

CommaDecimalLocale::~CommaDecimalLocale() {
    std::setlocale(LC_ALL, previousLocale_.c_str());
    if (previousLocPath_)
        setenv("LOCPATH", previousLocPath_->c_str(), 1);
    else
        unsetenv("LOCPATH");
}

} // namespace klv::testing
