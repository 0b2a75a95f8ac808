#include "programs/klvps/print_command.h"

#include "devmode/layout.h"
#include "libraries/job/job.h"
#include "libraries/job/outputs.h"
#include "libraries/job/pdf_input.h"
#include "libraries/settings/settings.h"
#include "libraries/settings/settings_doc.h"
#include "libraries/support/utf.h"
#include "programs/klvps/devmode_command.h"

#include <CLI/CLI.hpp>
#include <unistd.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <string_view>

namespace klv::cli {

namespace {

namespace fs = std::filesystem;
using settings::Kind;
using settings::Setting;

struct PrintOptions {
    std::string plugin = DefaultPlugin();
    std::string devmode;
    std::vector<std::string> sets;
    // Per settings-table row: what the person gave, if anything.
    std::array<std::optional<std::string>, settings::kSettingCount> given;
    int queueBefore = 0;
    int queueAfter = 0;
    std::string user = "user1";
    std::string document = "Document";
    DWORD jobId = 1;
    int pages = 1;
    std::vector<std::string> text;
    std::string paper = "letter";
    int dpi = 600;
    int codepage = 0;
    bool trace = false;
    std::string output;
    std::string input; // without one the sample job is printed
    bool passThrough = false;
    bool jobLineEndings = false;
};

sim::Paper PaperNamed(const std::string& name) {
    if (name == "a4")
        return sim::Paper::kA4;
    if (name == "legal")
        return sim::Paper::kLegal;
    if (name == "a3")
        return sim::Paper::kA3;
    return sim::Paper::kLetter;
}

// Jobs of other users queued around ours, with ids that are not ours.
std::vector<platform::QueuedJob> OtherJobs(int count, int firstNumber, DWORD ourId) {
    std::vector<platform::QueuedJob> jobs;
    for (int i = 0; i < count; ++i) {
        const int n = firstNumber + i;
        const DWORD id = (ourId + static_cast<DWORD>(n) - 1) % 0x7FFFFFFFu + 1;
        jobs.push_back({id, support::Utf8ToUtf16("other-user-" + std::to_string(n)),
                        support::Utf8ToUtf16("Other document " + std::to_string(n))});
    }
    return jobs;
}

void AddSettingOptions(CLI::App* cmd, PrintOptions& o) {
    for (std::size_t i = 0; i < settings::kSettingCount; ++i) {
        const Setting& s = settings::kSettings[i];
        // A switch alone says on; --flip=off and the like say what they say.
        if (s.kind == Kind::kSwitch)
            cmd->add_flag(std::string(s.flag) + "{true}", o.given[i],
                          settings::HelpWithLimits(s) + " (=false to switch it off)");
        else
            cmd->add_option(s.flag, o.given[i], settings::HelpWithLimits(s));
    }
}

// The settings the person gave, typed, in table order; a refused value
// stops the command under the option's name.
std::vector<job::SettingValue> GivenSettings(const PrintOptions& o) {
    std::vector<job::SettingValue> values;
    for (std::size_t i = 0; i < settings::kSettingCount; ++i) {
        const Setting& s = settings::kSettings[i];
        settings::Value value;
        if (!o.given[i])
            continue;
        if (const settings::Refusal r = settings::Parse(s.id, *o.given[i], &value))
            throw CommandFailure(std::string(s.flag) + ": " + settings::Describe(r));
        values.push_back({s.id, std::move(value)});
    }
    if (const settings::Refusal r = job::CheckSettings(values))
        throw CommandFailure(std::string(settings::SettingOf(r.id).flag) + ": " + settings::Describe(r));
    return values;
}

// The plug-in's trace lines of a job, on standard error.
void PrintTrace(const std::vector<std::string>& lines) {
    constexpr std::string_view kPrefix = "klvps: ";
    for (std::string_view line : lines) {
        if (line.substr(0, kPrefix.size()) == kPrefix)
            line.remove_prefix(kPrefix.size());
        std::cerr << "klvps: plug-in trace: " << line << '\n';
    }
}

// Every call the simulated driver made to the plug-in, in order, with the
// way each drawing call went (through a hook, on to the driver) and its
// result, on standard error.
void PrintCalls(const std::vector<std::string>& calls) {
    for (const std::string& call : calls)
        std::cerr << "klvps: call: " << call << '\n';
}

std::string Plural(int n, const char* one, const char* many) {
    return std::to_string(n) + (n == 1 ? one : many);
}

void Print(const PrintOptions& o, bool documentGiven) {
    if (o.output == "-" && o.input.empty())
        throw CommandFailure("print: standard output (-o -) takes an existing job only");
    job::JobData data;
    data.settings = GivenSettings(o);
    data.plugin = o.plugin;
    data.codePage = o.codepage;
    data.inputPath = o.input;
    data.kind = o.input.empty() ? job::InputKind::kSample : job::KindOfFile(o.input);
    data.pdfConverter = job::ConvertPdfWithGhostscript;
    data.user = o.user;
    data.title = o.input.empty() || documentGiven ? o.document : fs::path(o.input).filename().string();
    data.jobId = o.jobId;
    data.jobsBefore = OtherJobs(o.queueBefore, 1, o.jobId);
    data.jobsAfter = OtherJobs(o.queueAfter, o.queueBefore + 1, o.jobId);
    data.paper = PaperNamed(o.paper);
    data.dpi = o.dpi;
    data.passThrough = o.passThrough;
    data.jobLineEndings = o.jobLineEndings;
    data.samplePages = o.pages;
    data.sampleLines = o.text;
    data.message = [](job::Level level, const std::string& text) {
        std::cerr << (level == job::Level::kWarning ? "klvps: warning: " : "klvps: ") << text << "\n";
    };
    const bool streamed = data.kind == job::InputKind::kPostScript || data.kind == job::InputKind::kPdf;
    if (streamed && isatty(STDERR_FILENO) == 1)
        data.onPage = [](int page) { std::cerr << "klvps: page " << page << "\r" << std::flush; };

    sim::Simulator sim;
    std::string error;
    if (!job::OpenPlugin(sim, data, &error))
        throw CommandFailure(error);
    if (!o.devmode.empty() || !o.sets.empty()) {
        std::vector<std::uint8_t> block =
            o.devmode.empty() ? sim.DefaultDevMode(&error) : ReadOwnDevMode(o.devmode);
        if (block.empty())
            throw CommandFailure(error);
        ApplyAssignments(block, o.sets);
        data.devmode = block;
    }

    std::unique_ptr<job::Output> output;
    if (o.output == "-") {
        output = std::make_unique<job::FdOutput>(STDOUT_FILENO);
    } else {
        auto file = std::make_unique<job::FileOutput>(o.output);
        if (!file->Open(&error))
            throw CommandFailure(error);
        output = std::move(file);
    }
    data.output = output.get();

    const job::JobOutcome outcome = job::RunJob(sim, data);
    const char* traceSwitch = std::getenv("KLVPS_TRACE");
    if (o.trace || (traceSwitch != nullptr && std::string_view(traceSwitch) == "1")) {
        PrintCalls(outcome.calls);
        PrintTrace(outcome.trace);
    }
    for (const std::string& warning : outcome.warnings)
        std::cerr << "klvps: warning: " << warning << "\n";
    if (outcome.failure == job::Failure::kNotPostScript)
        throw CommandFailure(outcome.message + " (--pass-through copies such a job unchanged)");
    if (!outcome.ok())
        throw CommandFailure(outcome.message);
    if (sim.Close() != S_OK)
        std::cerr << "klvps: warning: the plug-in reports that it cannot be unloaded\n";
    if (streamed)
        std::cerr << "klvps: wrote " << (o.output == "-" ? "standard output" : o.output) << " ("
                  << Plural(outcome.pages, " page, ", " pages, ") << outcome.bytesRead << " bytes read)\n";
    else
        std::cerr << "klvps: wrote " << o.output << " (" << Plural(outcome.pages, " page, ", " pages, ")
                  << outcome.bytesRead << " bytes)\n";
}

} // namespace

Command AddPrintCommand(CLI::App& app) {
    auto o = std::make_shared<PrintOptions>();
    CLI::App* cmd = app.add_subcommand(
        "print",
        "Print a job through the driver simulator and the plug-in, writing the PostScript job to a file: "
        "an existing DSC PostScript job or PDF file, a UTF-8 text file laid out in the printable area, "
        "or else a sample job. Settings are applied in this order: --devmode, then --set, then the "
        "shortcuts. The watermark text may name {user}, {title}, {job-id}, {date}, {time} and "
        "{printer}, filled in for the job ({{ and }} for braces).");
    cmd->add_option(
           "input", o->input,
           "A PostScript job (it starts with %!, or its name ends in .ps or .eps): the plug-in's text "
           "goes in at its injection points and every other byte is kept; a PDF file, converted with "
           "Ghostscript's ps2write first; any other file is UTF-8 text")
        ->check(CLI::ExistingFile);
    cmd->add_flag("--pass-through", o->passThrough,
                  "Copy a PostScript INPUT without a DSC header unchanged instead of refusing it");
    cmd->add_flag(
        "--job-line-endings", o->jobLineEndings,
        "Write the line breaks of the plug-in's text with INPUT's line ending (by default they are kept "
        "as the driver writes them)");
    cmd->add_option("--plugin", o->plugin, "Plug-in library to load")->capture_default_str();
    cmd->add_option("--devmode", o->devmode,
                    "Private device-mode file (" + std::to_string(dm::kSize) + " bytes) to merge")
        ->check(CLI::ExistingFile);
    cmd->add_option("--set", o->sets, SetOptionHelp())->allow_extra_args(false);
    cmd->add_option("--user", o->user, "User name of the spooler job")->capture_default_str();
    cmd->add_option("--document", o->document,
                    "Document name of the spooler job (default for INPUT: its file name)")
        ->capture_default_str();
    cmd->add_option("--job-id", o->jobId,
                    "Spooler job id; with 0 StartDoc carries none and the plug-in bills the last listed job")
        ->check(CLI::Range(0u, 0x7FFFFFFFu))
        ->capture_default_str();
    CLI::Option* pages = cmd->add_option("--pages", o->pages, "Number of pages of the sample job")
                             ->check(CLI::Range(1, 10000))
                             ->capture_default_str();
    CLI::Option* text =
        cmd->add_option("--text", o->text, "A text line printed on every page of the sample (repeatable)")
            ->allow_extra_args(false);
    pages->excludes("input");
    text->excludes("input");
    cmd->add_option("--paper", o->paper, "Paper size: letter, a4, legal or a3")
        ->check(CLI::IsMember({"letter", "a4", "legal", "a3"}, CLI::ignore_case))
        ->transform(CLI::IsMember({"letter", "a4", "legal", "a3"}, CLI::ignore_case))
        ->capture_default_str();
    cmd->add_option("--queue-before", o->queueBefore, "Other users' jobs queued ahead of this one")
        ->check(CLI::Range(0, 100))
        ->capture_default_str();
    cmd->add_option("--queue-after", o->queueAfter, "Other users' jobs queued after this one")
        ->check(CLI::Range(0, 100))
        ->capture_default_str();
    AddSettingOptions(cmd, *o);
    cmd->add_option("--dpi", o->dpi, "Device resolution in dots per inch")
        ->check(CLI::Range(72, 2400))
        ->capture_default_str();
    cmd->add_option("--codepage", o->codepage,
                    "ANSI code page the plug-in converts text to (default: $KLVPS_ANSI_CODEPAGE, else 1252)")
        ->check(CLI::Range(1, 65535));
    cmd->add_flag("--trace", o->trace,
                  "Print every call made to the plug-in (drawing calls with their hook and result) and the "
                  "plug-in's trace lines of the job (where it fell back or gave up) on standard error; "
                  "KLVPS_TRACE=1 does the same");
    cmd->add_option("-o,--output", o->output, "PostScript file to write; - for standard output (INPUT only)")
        ->required();
    return {cmd, [o, cmd] {
                Print(*o, cmd->count("--document") > 0);
                return 0;
            }};
}

} // namespace klv::cli
