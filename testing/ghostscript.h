// Runs PostScript through a real Ghostscript interpreter and looks at what
// comes out: the interpreter's messages, whether a PostScript error was
// raised, and rendered pages as small RGB rasters.
//
// Ghostscript is started directly (no shell) as
//   gs -q -dNOPAUSE -dBATCH -dSAFER <device arguments> <temporary input file>
// with stdout and stderr captured together. The program is taken from the
// KLVPS_GS environment variable, else "gs" on the PATH.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace klv::testing {

// A finished child process.
struct ProcessResult {
    bool started = false;  // the program could be started
    bool timedOut = false; // killed after the time limit
    int exitStatus = -1;   // exit code; -1 when it did not exit normally
    std::string output;    // stdout and stderr, interleaved as written
};

// Runs argv[0] (looked up on the PATH when it has no slash) with the given
// arguments and an empty stdin, waiting at most timeoutSeconds.
ProcessResult RunProcess(const std::vector<std::string>& argv, double timeoutSeconds = 120);

// A temporary directory removed with everything in it when destroyed.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path path_;
};

// The Ghostscript program used by this harness.
std::string GhostscriptProgram();

// The outcome of one Ghostscript run.
struct GsRun {
    bool ok = false;              // exited with 0 and raised no PostScript error
    bool started = false;         // Ghostscript could be started at all
    int exitStatus = -1;          // -1: did not exit normally (signal, time limit)
    bool postscriptError = false; // "Error: /name in ..." was printed
    std::string errorName;        // e.g. "undefined", "typecheck"
    std::string errorCommand;     // what the error was raised in, e.g. "foo"
    std::string output;           // everything Ghostscript printed
};

// Interprets postscript. Without deviceArgs it runs with -dNODISPLAY, so
// only what the program prints (print, =, ==) comes out.
GsRun RunGhostscript(const std::string& postscript, const std::vector<std::string>& deviceArgs = {});

// Finds the first "Error: /name in command" report in Ghostscript output.
// Returns false when there is none.
bool ParsePostScriptError(std::string_view output, std::string* name, std::string* command);

struct Rgb {
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;
    bool operator==(const Rgb&) const = default;
};

// One rendered page, 8 bits per channel, rows from the top of the page.
class Raster {
public:
    Raster() = default;
    Raster(int width, int height, std::vector<std::uint8_t> rgb);

    // Parses a binary PPM (P6, maxval 255) image; nothing when malformed.
    static std::optional<Raster> FromPpm(std::string_view bytes);

    int Width() const { return width_; }
    int Height() const { return height_; }
    bool Empty() const { return width_ == 0 || height_ == 0; }
    Rgb At(int x, int y) const; // (0,0) is the top left corner

    // Pixels within the square of half-size radius around (cx, cy) whose
    // channels all differ from colour by at most tolerance.
    int CountNear(Rgb colour, int tolerance, int cx, int cy, int radius) const;
    bool HasColourNear(Rgb colour, int tolerance, int cx, int cy, int radius) const {
        return CountNear(colour, tolerance, cx, cy, radius) > 0;
    }
    // Same, around the page centre.
    bool HasColourNearCentre(Rgb colour, int tolerance, int radius) const {
        return HasColourNear(colour, tolerance, width_ / 2, height_ / 2, radius);
    }

private:
    int width_ = 0;
    int height_ = 0;
    std::vector<std::uint8_t> rgb_;
};

// Every page of a job rendered with the ppmraw device.
struct Rendering {
    GsRun run;
    std::vector<Raster> pages; // in page order
};

// Renders all pages at dpi dots per inch (keep it low: 36 or 72).
Rendering RenderPages(const std::string& postscript, int dpi = 36);

// Renders page (1-based) only; an empty raster when the run failed or the
// job has no such page.
Raster RenderPage(const std::string& postscript, int dpi = 36, int page = 1);

} // namespace klv::testing
