// File: job.h
//
// One print job through the plug-in, for every front end: `klvps print`,
// the CUPS filter and the printer application fill one JobData and call
// RunJob, which serves the job to the plug-in as the Windows driver would
// and writes what a printer receives.
//
//   klv::sim::Simulator sim;
//   klv::job::JobData job;
//   job.plugin = "/usr/lib/x86_64-linux-gnu/klvps/libklvps.so";
//   if (!klv::job::OpenPlugin(sim, job, &error)) ...
//   klv::job::FdOutput out(STDOUT_FILENO);
//   job.input = &in;  job.inputName = "standard input";  job.kind = InputKind::kPostScript;
//   job.output = &out;
//   job.user = "alice";  job.title = "Budget 2027";  job.jobId = 42;
//   job.settings = {{Id::kWatermark, WatermarkValue{true, u"DRAFT"}}};
//   const klv::job::JobOutcome outcome = klv::job::RunJob(sim, job);
//   if (!outcome.ok()) ... outcome.failure, outcome.message
//
// What happens, by the kind of input:
//   PostScript  a driver session goes through the device's life (device
//               mode, EnablePDEV, StartDoc with the job id, the pages,
//               DisablePDEV) while the streaming DSC pass asks it for the
//               plug-in's text at each injection point it finds;
//   PDF         converted to DSC PostScript first by data.pdfConverter
//               (pdf_input.h: Ghostscript's ps2write), then as PostScript;
//   text        UTF-8 text laid out in the printable area the plug-in
//               leaves, written by the simulator as a whole DSC job;
//   sample      the simulator's sample job (no input).
// The settings go over data.devmode (else the plug-in's defaults), and the
// watermark's variables are expanded for this job (variables.h) before the
// plug-in sees the text.
#pragma once

#include "libraries/dsc/dsc_pass.h"
#include "libraries/settings/settings.h"
#include "libraries/simulator/simulator.h"

#include <cstdint>
#include <ctime>
#include <functional>
#include <istream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace klv::job {

enum class InputKind {
    kPostScript,
    kPdf,
    kText,   // UTF-8 text
    kSample, // no input: the simulator's sample job
};

// The one rule for telling the kinds apart, from the first bytes of a file
// (up to 1024) and its name: a PDF has "%PDF-" within them; PostScript
// starts with "%!", a job language wrapper (ESC) or ^D; then a .pdf name
// says PDF and a .ps or .eps name PostScript; everything else is text.
InputKind KindOfInput(std::string_view head, std::string_view fileName);
// The same for a file on disk.
InputKind KindOfFile(const std::string& path);

enum class Level { kError, kWarning, kInfo, kDebug };
using MessageSink = std::function<void(Level level, const std::string& text)>;

// Where the job's bytes go. Finish is called once, after the last byte of
// a job that was served whole; a job that failed is never finished, so an
// output that can keep a partial job from being taken as whole (a file
// renamed into place, a device connection) does so in its destructor.
class Output : public dsc::DscOutput {
public:
    bool Write(std::string_view bytes, dsc::Origin origin) override = 0;
    virtual bool Finish(std::string* error) = 0;
};

// Why a job failed.
enum class Failure {
    kNone,
    kCannotOpenInput,  // no such file, or it cannot be opened
    kInputUnreadable,  // a read failed
    kEmptyInput,       // no byte at all
    kNotPostScript,    // no DSC header
    kNotPdf,           // a .pdf name without a %PDF- header
    kPdfNotSupported,  // a PDF, and no converter was given
    kNoGhostscript,    // Ghostscript cannot be started
    kPdfDamaged,       // Ghostscript cannot read the PDF's pages
    kPdfConversion,    // Ghostscript failed otherwise
    kBadText,          // text input that cannot be laid out
    kTruncatedSection, // a counted data section runs past the end
    kBadSetting,       // a setting refused (settings.h)
    kUnknownVariable,  // the watermark names a variable there is none of
    kPluginFailed,     // the plug-in failed a call
    kCannotWrite,      // the output cannot be written
    kCancelled,        // data.cancelled said so
};

struct SettingValue {
    settings::Id id;
    settings::Value value;
};

// Converts a PDF file into a DSC PostScript file; kNone or the failure with
// its message. pdf_input.h has the one the front ends use.
using PdfConverter = std::function<Failure(const std::string& pdf, const std::string& postscript,
                                           std::string* why, const MessageSink& messages)>;

struct JobData {
    // The document: a file, or a stream of PostScript.
    std::string inputPath;
    std::istream* input = nullptr;
    std::string inputName;         // what messages call it; inputPath when empty
    std::optional<InputKind> kind; // KindOfFile(inputPath) when unset
    PdfConverter pdfConverter;     // without one a PDF is refused

    // Where the job goes; required.
    Output* output = nullptr;

    // What the spooler bills, and the printer's name for {printer}.
    std::string user = "user1";
    std::string title = "Document";
    DWORD jobId = 1;
    std::string printer;
    std::vector<platform::QueuedJob> jobsBefore; // other users' jobs queued around it
    std::vector<platform::QueuedJob> jobsAfter;

    // The plug-in and the device.
    std::string plugin; // the library OpenPlugin loads
    int codePage = 0;   // the ANSI code page the plug-in converts to; 0: the environment's
    sim::Paper paper = sim::Paper::kLetter;
    int dpi = 600;

    // The device mode: the settings go over devmode, or over the plug-in's
    // defaults without one; neither: the plug-in's defaults as they are.
    std::optional<std::vector<std::uint8_t>> devmode;
    std::vector<SettingValue> settings;
    // When {date} and {time} are taken; now when unset.
    std::optional<std::time_t> submitted;

    // How the plug-in's text goes into an existing job (dsc_pass.h).
    bool passThrough = false;
    bool jobLineEndings = false;

    // The sample job.
    int samplePages = 1;
    std::vector<std::string> sampleLines;

    MessageSink message;                  // optional
    std::function<bool()> cancelled;      // optional; checked as pages begin and at the end
    std::function<void(int page)> onPage; // optional; as each page begins
};

struct JobOutcome {
    Failure failure = Failure::kNone;
    std::string message; // the failure in words, naming the input where it is at fault
    std::vector<std::string> warnings;
    int pages = 0;
    std::uint64_t bytesRead = 0; // of PostScript input
    bool truncated = false;      // the PostScript input ends before its trailer (a warning says so)
    // Of text and sample jobs, which the simulator writes whole: every call
    // made to the plug-in and its trace lines.
    std::vector<std::string> calls;
    std::vector<std::string> trace;
    bool ok() const { return failure == Failure::kNone; }
};

// Loads data.plugin into sim under data.codePage. False with a message.
bool OpenPlugin(sim::Simulator& sim, const JobData& data, std::string* error);

// The first of the settings that the typed setter would refuse; empty when
// all are sound. Front ends call it before
// loading anything, so that a bad value is reported even where the plug-in
// cannot be loaded.
settings::Refusal CheckSettings(const std::vector<SettingValue>& settings);

// The device-mode block the job runs with: data.devmode or the plug-in's
// defaults, the settings over it, the watermark's variables expanded;
// nullopt when the job runs with the plug-in's defaults untouched.
std::optional<std::vector<std::uint8_t>> BlockFor(sim::Simulator& sim, const JobData& data,
                                                  JobOutcome* outcome);

// Runs the job; sim must be open. Everything the job wrote has gone to
// data.output, which was finished when the outcome is ok.
JobOutcome RunJob(sim::Simulator& sim, const JobData& data);

} // namespace klv::job
