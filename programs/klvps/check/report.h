// What the stand-in printer saw of a job, read back from its event lines,
// and the two forms `klvps check` reports it in.
#pragma once

#include <nlohmann/json.hpp>

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace klv::check {

// A PostScript object as the stand-in printer reported it.
struct PsValue {
    enum class Kind { kString, kName, kOther };
    Kind kind = Kind::kOther;
    std::string bytes; // string and name: their bytes; other: the text cvs gives
    bool operator==(const PsValue&) const = default;
};

struct WatermarkSeen {
    bool defined = false; // stored into userdict as DrawWaterMark
    std::optional<PsValue> text, font, size, angle;
    std::vector<std::string> colour; // the numbers before setrgbcolor
    std::vector<int> pages;          // pages on which it ran, from 1
};

struct PsError {
    std::string name;
    std::string command;
    int page = 0; // the page being described when it happened, from 1
};

// A call of an accounting procedure.
struct Call {
    bool ran = false;
    std::optional<PsValue> operand; // nothing when it ran with an empty stack
};

// Everything the event lines tell.
struct Received {
    Call user, file, jobName;
    bool jobInfo = false;
    std::map<std::string, PsValue> keys; // userdict keys the job left defined
    bool patchActive = false;
    WatermarkSeen watermark;
    int pages = 0;
    std::optional<PsError> error;
    bool finished = false;            // the stand-in read the job to its end
    std::vector<std::string> unknown; // other output of the interpreter, by line
};

// Reads the event lines out of the interpreter's output.
Received ParseEvents(std::string_view output);

// How the run ended, beside what was received.
struct Outcome {
    bool timedOut = false;
    double timeoutSeconds = 0;
    int exitStatus = 0;
};

bool RanClean(const Received& r, const Outcome& o);

// Bytes in an ANSI code page as UTF-8; bytes the code page does not define
// become U+FFFD. Returns nothing when the host cannot convert from it.
std::optional<std::string> CodePageToUtf8(std::string_view bytes, unsigned codePage);

// The report for people, names shown in the code page's characters.
std::string ReportText(const Received& r, const Outcome& o, unsigned codePage);
// The report for programs: names and strings with their bytes in hex.
nlohmann::ordered_json ReportJson(const Received& r, const Outcome& o, unsigned codePage);

} // namespace klv::check
