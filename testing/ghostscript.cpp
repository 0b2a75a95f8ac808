#include "testing/ghostscript.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <system_error>
#include <thread>

extern char** environ;

namespace klv::testing {

namespace fs = std::filesystem;

namespace {

std::string ReadWholeFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool WriteWholeFile(const fs::path& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    return static_cast<bool>(out);
}

// Arguments common to every run: quiet, no prompts between pages, exit at
// the end of the input, and no file access beyond what the command line
// grants.
std::vector<std::string> BaseArguments() {
    return {GhostscriptProgram(), "-q", "-dNOPAUSE", "-dBATCH", "-dSAFER"};
}

} // namespace

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

TempDir::TempDir() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern =
        (base != nullptr && *base != '\0' ? std::string(base) : std::string("/tmp")) + "/klvps-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("cannot create a temporary directory: " +
                                 std::generic_category().message(errno));
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

std::string GhostscriptProgram() {
    const char* configured = std::getenv("KLVPS_GS");
    return configured != nullptr && *configured != '\0' ? configured : "gs";
}

bool ParsePostScriptError(std::string_view output, std::string* name, std::string* command) {
    constexpr std::string_view kMarker = "Error: /";
    const size_t at = output.find(kMarker);
    if (at == std::string_view::npos)
        return false;
    size_t p = at + kMarker.size();
    size_t end = p;
    while (end < output.size() && output[end] != ' ' && output[end] != '\n' && output[end] != '\r')
        ++end;
    if (name != nullptr)
        *name = std::string(output.substr(p, end - p));
    if (command != nullptr) {
        command->clear();
        constexpr std::string_view kIn = " in ";
        if (output.substr(end, kIn.size()) == kIn) {
            p = end + kIn.size();
            end = output.find_first_of("\r\n", p);
            *command = std::string(output.substr(p, end == std::string_view::npos ? end : end - p));
        }
    }
    return true;
}

GsRun RunGhostscript(const std::string& postscript, const std::vector<std::string>& deviceArgs) {
    GsRun run;
    TempDir dir;
    const fs::path input = dir.Path() / "job.ps";
    if (!WriteWholeFile(input, postscript)) {
        run.output = "cannot write " + input.string();
        return run;
    }
    std::vector<std::string> argv = BaseArguments();
    if (deviceArgs.empty())
        argv.push_back("-dNODISPLAY");
    else
        argv.insert(argv.end(), deviceArgs.begin(), deviceArgs.end());
    // "--" would make the rest arguments of the job, so the input is given
    // as a plain path; it is ours and cannot start with '-'.
    argv.push_back(input.string());

    const ProcessResult process = RunProcess(argv);
    run.started = process.started;
    run.exitStatus = process.exitStatus;
    run.output = process.output;
    if (process.timedOut)
        run.output += "\n(Ghostscript was stopped after the time limit)\n";
    run.postscriptError = ParsePostScriptError(run.output, &run.errorName, &run.errorCommand);
    run.ok = run.started && run.exitStatus == 0 && !run.postscriptError;
    return run;
}

Raster::Raster(int width, int height, std::vector<std::uint8_t> rgb)
    : width_(width), height_(height), rgb_(std::move(rgb)) {
    if (width_ < 0 || height_ < 0 ||
        rgb_.size() != static_cast<size_t>(width_) * static_cast<size_t>(height_) * 3) {
        width_ = height_ = 0;
        rgb_.clear();
    }
}

std::optional<Raster> Raster::FromPpm(std::string_view bytes) {
    size_t p = 0;
    // Reads the next header number, skipping white space and comments.
    auto number = [&](long& value) {
        for (;;) {
            while (p < bytes.size() && std::isspace(static_cast<unsigned char>(bytes[p])))
                ++p;
            if (p < bytes.size() && bytes[p] == '#') {
                while (p < bytes.size() && bytes[p] != '\n')
                    ++p;
                continue;
            }
            break;
        }
        if (p >= bytes.size() || !std::isdigit(static_cast<unsigned char>(bytes[p])))
            return false;
        value = 0;
        while (p < bytes.size() && std::isdigit(static_cast<unsigned char>(bytes[p]))) {
            value = value * 10 + (bytes[p++] - '0');
            if (value > 1000000)
                return false;
        }
        return true;
    };
    if (bytes.substr(0, 2) != "P6")
        return std::nullopt;
    p = 2;
    long width = 0, height = 0, maxval = 0;
    if (!number(width) || !number(height) || !number(maxval) || maxval != 255)
        return std::nullopt;
    // Exactly one white-space byte separates the header from the samples.
    if (p >= bytes.size() || !std::isspace(static_cast<unsigned char>(bytes[p])))
        return std::nullopt;
    ++p;
    const size_t need = static_cast<size_t>(width) * static_cast<size_t>(height) * 3;
    if (bytes.size() - p < need)
        return std::nullopt;
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data() + p);
    return Raster(static_cast<int>(width), static_cast<int>(height),
                  std::vector<std::uint8_t>(data, data + need));
}

Rgb Raster::At(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_)
        throw std::out_of_range("pixel outside the raster");
    const size_t i = (static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x)) * 3;
    return Rgb{rgb_[i], rgb_[i + 1], rgb_[i + 2]};
}

int Raster::CountNear(Rgb colour, int tolerance, int cx, int cy, int radius) const {
    int count = 0;
    for (int y = std::max(0, cy - radius); y <= std::min(height_ - 1, cy + radius); ++y) {
        for (int x = std::max(0, cx - radius); x <= std::min(width_ - 1, cx + radius); ++x) {
            const Rgb c = At(x, y);
            if (std::abs(c.r - colour.r) <= tolerance && std::abs(c.g - colour.g) <= tolerance &&
                std::abs(c.b - colour.b) <= tolerance)
                ++count;
        }
    }
    return count;
}

Rendering RenderPages(const std::string& postscript, int dpi) {
    Rendering rendering;
    TempDir dir;
    const fs::path pattern = dir.Path() / "page-%04d.ppm";
    rendering.run = RunGhostscript(
        postscript, {"-sDEVICE=ppmraw", "-r" + std::to_string(dpi), "-sOutputFile=" + pattern.string()});
    for (int page = 1;; ++page) {
        char name[32];
        std::snprintf(name, sizeof name, "page-%04d.ppm", page);
        const fs::path file = dir.Path() / name;
        std::error_code ec;
        if (!fs::exists(file, ec))
            break;
        std::optional<Raster> raster = Raster::FromPpm(ReadWholeFile(file));
        if (!raster) {
            rendering.run.ok = false;
            rendering.run.output += "\n(" + file.filename().string() + " is not a readable PPM image)\n";
            break;
        }
        rendering.pages.push_back(std::move(*raster));
    }
    return rendering;
}

Raster RenderPage(const std::string& postscript, int dpi, int page) {
    if (page < 1)
        return {};
    TempDir dir;
    const fs::path output = dir.Path() / "page.ppm";
    const GsRun run = RunGhostscript(
        postscript, {"-sDEVICE=ppmraw", "-r" + std::to_string(dpi), "-dFirstPage=" + std::to_string(page),
                     "-dLastPage=" + std::to_string(page), "-sOutputFile=" + output.string()});
    if (!run.ok)
        return {};
    std::error_code ec;
    if (!fs::exists(output, ec))
        return {};
    return Raster::FromPpm(ReadWholeFile(output)).value_or(Raster{});
}

} // namespace klv::testing
