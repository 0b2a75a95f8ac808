// klvps: drives the plug-in library outside the printer driver. It prints
// jobs through a driver simulator (its sample job, a UTF-8 text file, or an
// existing PostScript or PDF job), checks what a printer receives from a
// job, renders pages of PostScript with Ghostscript, and creates, shows and
// edits private device-mode files.
#include "libraries/support/files.h"
#include "libraries/support/temp_dir.h"
#include "devmode/layout.h"
#include "platform/host/host.h"
#include "libraries/dsc/dsc_pass.h"
#include "libraries/ghostscript/ghostscript.h"
#include "libraries/support/process.h"
#include "programs/klvps/check/check_command.h"
#include "libraries/settings/devmode_fields.h"
#include "libraries/settings/devmode_header.h"
#include "programs/klvps/devmode_json.h"
#include "programs/klvps/job_settings.h"
#include "programs/klvps/preview_command.h"
#include "programs/klvps/print_job.h"
#include "programs/klvps/text_pages.h"
#include "libraries/simulator/simulator.h"

#include <CLI/CLI.hpp>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string_view>
#include <unistd.h>

#ifndef KLVPS_DEFAULT_PLUGIN
#define KLVPS_DEFAULT_PLUGIN "libklvps.so"
#endif

namespace {

namespace fs = std::filesystem;

// A failure to report: the message goes to stderr and the command exits 1.
struct Failure {
    std::string message;
};

std::string DefaultPlugin() {
    const char* configured = std::getenv("KLVPS_PLUGIN");
    return configured != nullptr && *configured != '\0' ? configured : KLVPS_DEFAULT_PLUGIN;
}

std::string ReadFile(const std::string& path) {
    std::error_code ec;
    if (!fs::is_regular_file(path, ec))
        throw Failure{path + ": no such file"};
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw Failure{path + ": cannot be read"};
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad())
        throw Failure{path + ": cannot be read"};
    return bytes;
}

std::vector<std::uint8_t> ReadDevMode(const std::string& path) {
    const std::string bytes = ReadFile(path);
    if (bytes.size() != klv::dm::kSize)
        throw Failure{path + ": a device mode file holds " + std::to_string(klv::dm::kSize) +
                      " bytes, this one " + std::to_string(bytes.size())};
    return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
}

// A block to merge or change must be the plug-in's own.
std::vector<std::uint8_t> ReadOwnDevMode(const std::string& path) {
    std::vector<std::uint8_t> block = ReadDevMode(path);
    const std::string notice = klv::settings::ForeignBlockNotice(block);
    if (!notice.empty())
        throw Failure{path + ": " + notice.substr(0, notice.find(';'))};
    return block;
}

void WriteOutput(const std::string& path, const std::string& bytes) {
    std::string error;
    if (!klv::support::WriteFileAtomically(path, bytes, &error))
        throw Failure{error};
}

void OpenPlugin(klv::sim::Simulator& sim, const std::string& path) {
    std::string error;
    if (!sim.Open(path, &error))
        throw Failure{error};
}

void ApplyAll(std::vector<std::uint8_t>& block, const std::vector<std::string>& assignments) {
    for (const std::string& a : assignments) {
        std::string error;
        if (!klv::settings::ApplyAssignment(block, a, &error))
            throw Failure{error};
    }
}

struct PrintOptions {
    std::string plugin;
    std::string devmode;
    std::vector<std::string> sets;
    klv::cli::JobSettings settings;
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
    std::string input; // an existing PostScript job; without one a sample job is printed
    bool passThrough = false;
    bool jobLineEndings = false;
    bool documentGiven = false;
};

klv::sim::Paper PaperNamed(const std::string& name) {
    if (name == "a4")
        return klv::sim::Paper::kA4;
    if (name == "legal")
        return klv::sim::Paper::kLegal;
    if (name == "a3")
        return klv::sim::Paper::kA3;
    return klv::sim::Paper::kLetter;
}

// Jobs of other users queued around ours, with ids that are not ours.
std::vector<klv::platform::QueuedJob> OtherJobs(int count, int firstNumber, DWORD ourId) {
    std::vector<klv::platform::QueuedJob> jobs;
    for (int i = 0; i < count; ++i) {
        const int n = firstNumber + i;
        const DWORD id = (ourId + static_cast<DWORD>(n) - 1) % 0x7FFFFFFFu + 1;
        jobs.push_back({id, klv::support::Utf8ToUtf16("other-user-" + std::to_string(n)),
                        klv::support::Utf8ToUtf16("Other document " + std::to_string(n))});
    }
    return jobs;
}

// Pages of the text file laid out in the printable area the plug-in
// leaves: a probe page learns it, as full-page printing widens it.
std::vector<klv::sim::Page> TextFilePages(klv::sim::Simulator& sim, const klv::sim::Job& probe,
                                          const std::string& path) {
    const klv::sim::JobResult probed = sim.Run(probe);
    if (!probed.ok)
        throw Failure{"the job failed: " + probed.error};
    // The simulator writes 10-point Courier (6 points a character) on
    // 12-point lines, half an inch in from the printable area's edges.
    const double pointsPerPixel = 72.0 / probe.dpi;
    const double width = probed.gdiInfo.ulHorzRes * pointsPerPixel - 72;
    const double height = probed.gdiInfo.ulVertRes * pointsPerPixel - 72;
    std::vector<std::vector<std::string>> pages;
    std::string error;
    if (!klv::cli::PaginateText(ReadFile(path), static_cast<int>(std::floor(width / 6)),
                                static_cast<int>(std::floor(height / 12)), &pages, &error))
        throw Failure{path + ": " + error};
    std::vector<klv::sim::Page> out;
    for (std::vector<std::string>& lines : pages)
        out.push_back(klv::sim::Page{std::move(lines), {}});
    return out;
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

enum class InputKind { kPostScript, kPdf, kText };

// What an INPUT of `klvps print` holds. A PDF file has "%PDF-" within its
// first 1024 bytes, or a .pdf name (and is refused later when it is not
// one); PostScript starts with "%!", a job language wrapper (ESC) or a ^D,
// or has a .ps or .eps name; everything else is printed as text.
InputKind InputKindOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string head(1024, '\0');
    in.read(head.data(), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<std::size_t>(in.gcount()));
    std::string extension = fs::path(path).extension().string();
    for (char& c : extension)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (head.find("%PDF-") != std::string::npos || extension == ".pdf")
        return InputKind::kPdf;
    if (head.starts_with("%!") || head.starts_with("\x1b") || head.starts_with("\x04") ||
        extension == ".ps" || extension == ".eps")
        return InputKind::kPostScript;
    return InputKind::kText;
}

// A PDF file has "%PDF-" within its first 1024 bytes.
bool IsPdf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string head(1024, '\0');
    in.read(head.data(), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<std::size_t>(in.gcount()));
    return head.find("%PDF-") != std::string::npos;
}

bool HasPdfName(const std::string& path) {
    std::string extension = fs::path(path).extension().string();
    for (char& c : extension)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return extension == ".pdf";
}

// The lines of Ghostscript's output that report errors.
std::string GhostscriptErrors(const std::string& output) {
    std::string errors;
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);) {
        if (line.find("Error") != std::string::npos)
            errors += "\n  " + line.substr(line.find_first_not_of(' '));
    }
    return errors;
}

// Converts a PDF file to DSC PostScript with Ghostscript's ps2write device.
// Throws when Ghostscript cannot run or the PDF yields no page.
void ConvertPdf(const std::string& pdf, const fs::path& postscript) {
    const std::string gs = klv::gs::GhostscriptProgram();
    std::cerr << "klvps: converting " << pdf << " to PostScript with Ghostscript\n";
    const klv::support::ProcessResult run =
        klv::support::RunProcess({gs, "-dNOPAUSE", "-dBATCH", "-dSAFER", "-sDEVICE=ps2write",
                             "-sOutputFile=" + postscript.string(), pdf},
                            24 * 3600);
    if (!run.started)
        throw Failure{pdf + ": printing a PDF file needs Ghostscript, and " + gs +
                      " cannot be started (install the ghostscript package, or set KLVPS_GS)"};
    if (run.exitStatus != 0)
        throw Failure{pdf + ": Ghostscript cannot convert this PDF file (exit status " +
                      std::to_string(run.exitStatus) + ")" + GhostscriptErrors(run.output)};
    // A PDF that Ghostscript cannot read still yields a job, with an empty
    // page or none; Ghostscript then never says which pages it processes.
    if (run.output.find("Processing pages ") == std::string::npos)
        throw Failure{pdf + ": the PDF file is damaged: Ghostscript cannot read its pages" +
                      GhostscriptErrors(run.output)};
    std::ifstream in(postscript, std::ios::binary);
    struct NoOutput : klv::dsc::DscOutput {
        bool Write(std::string_view, klv::dsc::Origin) override { return true; }
    } none;
    const klv::dsc::DscResult pages =
        klv::dsc::RunDscPass(in, none, [](klv::dsc::InjectionPoint) { return std::string(); });
    if (!pages.ok || pages.pages == 0)
        throw Failure{pdf + ": the PDF file is damaged: Ghostscript found no page in it" +
                      GhostscriptErrors(run.output)};
    const std::string errors = GhostscriptErrors(run.output);
    if (!errors.empty())
        std::cerr << "klvps: warning: Ghostscript reported errors in " << pdf << "; the job may be incomplete"
                  << errors << "\n";
}

// Prints an existing job through the plug-in, streaming it from the input
// to the output. A PDF file is converted to PostScript first.
void PrintExisting(klv::sim::Simulator& sim, const PrintOptions& o, const std::vector<std::uint8_t>& block) {
    klv::cli::ExistingJob job;
    job.input = o.input;
    job.name = o.input;
    std::optional<klv::support::TempDir> converted;
    if (IsPdf(o.input)) {
        converted.emplace();
        job.input = (converted->Path() / "converted.ps").string();
        ConvertPdf(o.input, job.input);
    } else if (HasPdfName(o.input)) {
        throw Failure{o.input + ": the name says PDF, but the file is not one (it has no %PDF- header)"};
    }
    job.output = o.output;
    job.passThrough = o.passThrough;
    job.jobLineEndings = o.jobLineEndings;
    job.setup.user = o.user;
    job.setup.document = o.documentGiven ? o.document : fs::path(o.input).filename().string();
    job.setup.jobId = o.jobId;
    job.setup.otherJobs = OtherJobs(o.queueBefore, 1, o.jobId);
    job.setup.laterJobs = OtherJobs(o.queueAfter, o.queueBefore + 1, o.jobId);
    job.setup.paper = PaperNamed(o.paper);
    job.setup.dpi = o.dpi;
    if (!block.empty())
        job.setup.devmode = block;

    const bool terminal = isatty(STDERR_FILENO) == 1;
    const klv::cli::ExistingJobResult result = klv::cli::PrintExistingJob(sim, job, [&](int page) {
        if (terminal)
            std::cerr << "klvps: page " << page << "\r" << std::flush;
    });
    for (const std::string& warning : result.warnings)
        std::cerr << "klvps: warning: " << warning << "\n";
    if (!result.ok)
        throw Failure{result.error};
    if (sim.Close() != S_OK)
        std::cerr << "klvps: warning: the plug-in reports that it cannot be unloaded\n";
    std::cerr << "klvps: wrote " << (o.output == "-" ? "standard output" : o.output) << " (" << result.pages
              << (result.pages == 1 ? " page, " : " pages, ") << result.bytesRead << " bytes read)\n";
}

void Print(const PrintOptions& o) {
    if (o.codepage != 0) {
        // The plug-in converts text to the ANSI code page it finds in the
        // environment when it is loaded; check that the host supports it.
        if (!klv::host::SetAnsiCodePage(static_cast<UINT>(o.codepage)))
            throw Failure{"code page " + std::to_string(o.codepage) + " is not supported on this host"};
        setenv("KLVPS_ANSI_CODEPAGE", std::to_string(o.codepage).c_str(), 1);
    }
    klv::sim::Simulator sim;
    OpenPlugin(sim, o.plugin);

    std::vector<std::uint8_t> block;
    std::string error;
    if (!o.devmode.empty()) {
        block = ReadOwnDevMode(o.devmode);
    } else if (!o.sets.empty() || o.settings.Any()) {
        block = sim.DefaultDevMode(&error);
        if (block.empty())
            throw Failure{error};
    }
    ApplyAll(block, o.sets);
    if (!block.empty() && !klv::cli::ApplyJobSettings(block, o.settings, &error))
        throw Failure{error};
    if (!o.input.empty() && InputKindOf(o.input) != InputKind::kText) {
        PrintExisting(sim, o, block);
        return;
    }

    std::vector<std::string> lines = o.text;
    if (lines.empty())
        lines = {"This page was printed through the klvps driver simulator.", "Document: " + o.document};
    const std::string textFile = o.input;
    klv::sim::Job job = klv::sim::SampleJob(textFile.empty() ? o.pages : 1, lines);
    job.user = o.user;
    job.document = o.document;
    job.jobId = o.jobId;
    job.otherJobs = OtherJobs(o.queueBefore, 1, o.jobId);
    job.laterJobs = OtherJobs(o.queueAfter, o.queueBefore + 1, o.jobId);
    job.paper = PaperNamed(o.paper);
    job.dpi = o.dpi;
    if (!block.empty())
        job.devmode = block;
    if (!textFile.empty()) {
        job.pages = {klv::sim::Page{}};
        job.pages = TextFilePages(sim, job, textFile);
    }

    const int pages = static_cast<int>(job.pages.size());
    const klv::sim::JobResult result = sim.Run(job, [&](int page, int total) {
        if (total > 1)
            std::cerr << "klvps: page " << page << " of " << total << " written\n";
    });
    const char* traceSwitch = std::getenv("KLVPS_TRACE");
    if (o.trace || (traceSwitch != nullptr && std::string_view(traceSwitch) == "1")) {
        PrintCalls(result.calls);
        PrintTrace(result.trace);
    }
    if (!result.ok)
        throw Failure{"the job failed: " + result.error};
    WriteOutput(o.output, result.postscript);
    const HRESULT unload = sim.Close();
    if (unload != S_OK)
        std::cerr << "klvps: warning: the plug-in reports that it cannot be unloaded\n";
    std::cerr << "klvps: wrote " << o.output << " (" << pages << (pages == 1 ? " page, " : " pages, ")
              << result.postscript.size() << " bytes)\n";
}

void DevModeNew(const std::string& plugin, const std::string& output, const std::vector<std::string>& sets) {
    klv::sim::Simulator sim;
    OpenPlugin(sim, plugin);
    std::string error;
    std::vector<std::uint8_t> block = sim.DefaultDevMode(&error);
    if (block.empty())
        throw Failure{error};
    if (block.size() != klv::dm::kSize)
        throw Failure{"the plug-in's device mode holds " + std::to_string(block.size()) + " bytes, not " +
                      std::to_string(klv::dm::kSize)};
    ApplyAll(block, sets);
    WriteOutput(output, std::string(block.begin(), block.end()));
}

// Shows the fields of any block of the right length; one that is not the
// plug-in's is named as such first, and the command then fails.
void DevModeShow(const std::string& file) {
    const std::vector<std::uint8_t> block = ReadDevMode(file);
    const std::string notice = klv::settings::ForeignBlockNotice(block);
    if (!notice.empty())
        std::cerr << "klvps: " << file << ": " << notice << "\n" << std::flush;
    std::cout << klv::cli::DevModeToJson(block).dump(2) << "\n";
    if (!notice.empty())
        throw Failure{file + ": not a klvps device mode"};
}

void DevModeSet(const std::string& file, const std::vector<std::string>& assignments) {
    std::vector<std::uint8_t> block = ReadOwnDevMode(file);
    ApplyAll(block, assignments);
    WriteOutput(file, std::string(block.begin(), block.end()));
}

void Info(const std::string& plugin) {
    klv::sim::Simulator sim;
    OpenPlugin(sim, plugin);
    char signature[16];
    std::snprintf(signature, sizeof signature, "0x%08X", sim.Signature());
    std::cout << "plug-in:       " << plugin << "\n"
              << "signature:     " << signature << "\n"
              << "version:       " << sim.Version() << "\n"
              << "device mode:   " << sim.DevModeSize() << " bytes\n"
              << "hooked calls:  " << sim.HookTable().c << "\n";
    if (sim.Close() != S_OK)
        throw Failure{"the plug-in reports that it cannot be unloaded after release"};
}

std::string FieldList() {
    std::string list;
    for (const klv::settings::Field& f : klv::settings::Fields())
        list += std::string(list.empty() ? "" : ", ") + f.name;
    return list;
}

} // namespace

int main(int argc, char** argv) {
    CLI::App app{"klvps: drive the klvps rendering plug-in outside the printer driver.\n"
                 "The plug-in library is taken from --plugin, else $KLVPS_PLUGIN, else " KLVPS_DEFAULT_PLUGIN
                 "."};
    app.require_subcommand(1);
    const std::string setHelp = "Set a device-mode field, FIELD=VALUE (repeatable). Fields: " + FieldList() +
                                ". Strings are UTF-8; colours are R,G,B or #RRGGBB.";

    PrintOptions print;
    print.plugin = DefaultPlugin();
    CLI::App* printCmd =
        app.add_subcommand("print", "Print a job through the driver simulator and the plug-in, writing the "
                                    "PostScript job to a file: an existing DSC PostScript job or PDF file, a "
                                    "UTF-8 text file laid out in the printable area, or else a sample job. "
                                    "Settings are applied in this order: --devmode, then --set, then the "
                                    "shortcuts.");
    printCmd
        ->add_option("input", print.input,
                     "A PostScript job (it starts with %!, or its name ends in .ps or .eps): the plug-in's "
                     "text goes in at its injection points and every other byte is kept; a PDF file, "
                     "converted with Ghostscript's ps2write first; any other file is UTF-8 text")
        ->check(CLI::ExistingFile);
    printCmd->add_flag("--pass-through", print.passThrough,
                       "Copy a PostScript INPUT without a DSC header unchanged instead of refusing it");
    printCmd->add_flag(
        "--job-line-endings", print.jobLineEndings,
        "Write the line breaks of the plug-in's text with INPUT's line ending (by default they "
        "are kept as the driver writes them)");
    printCmd->add_option("--plugin", print.plugin, "Plug-in library to load")->capture_default_str();
    printCmd
        ->add_option("--devmode", print.devmode,
                     "Private device-mode file (" + std::to_string(klv::dm::kSize) + " bytes) to merge")
        ->check(CLI::ExistingFile);
    printCmd->add_option("--set", print.sets, setHelp)->allow_extra_args(false);
    printCmd->add_option("--user", print.user, "User name of the spooler job")->capture_default_str();
    printCmd
        ->add_option("--document", print.document,
                     "Document name of the spooler job (default for INPUT: its file name)")
        ->capture_default_str();
    printCmd
        ->add_option("--job-id", print.jobId,
                     "Spooler job id; with 0 StartDoc carries none and the plug-in bills the last listed job")
        ->check(CLI::Range(0u, 0x7FFFFFFFu))
        ->capture_default_str();
    CLI::Option* pagesOpt = printCmd->add_option("--pages", print.pages, "Number of pages of the sample job")
                                ->check(CLI::Range(1, 10000))
                                ->capture_default_str();
    CLI::Option* textOpt =
        printCmd
            ->add_option("--text", print.text, "A text line printed on every page of the sample (repeatable)")
            ->allow_extra_args(false);
    pagesOpt->excludes("input");
    textOpt->excludes("input");
    printCmd->add_option("--paper", print.paper, "Paper size: letter, a4, legal or a3")
        ->check(CLI::IsMember({"letter", "a4", "legal", "a3"}, CLI::ignore_case))
        ->transform(CLI::IsMember({"letter", "a4", "legal", "a3"}, CLI::ignore_case))
        ->capture_default_str();
    printCmd->add_option("--queue-before", print.queueBefore, "Other users' jobs queued ahead of this one")
        ->check(CLI::Range(0, 100))
        ->capture_default_str();
    printCmd->add_option("--queue-after", print.queueAfter, "Other users' jobs queued after this one")
        ->check(CLI::Range(0, 100))
        ->capture_default_str();
    klv::cli::JobSettings& settings = print.settings;
    printCmd->add_option("--watermark", settings.watermark,
                         "Watermark text (UTF-8, at most 127 characters); switches the watermark on");
    printCmd->add_option("--watermark-font", settings.watermarkFont,
                         "Watermark font, a PostScript font name");
    printCmd->add_option("--watermark-size", settings.watermarkSize,
                         "Watermark size in points, " + std::to_string(klv::cli::kMinWatermarkSize) + " to " +
                             std::to_string(klv::cli::kMaxWatermarkSize));
    printCmd->add_option("--watermark-angle", settings.watermarkAngle,
                         "Watermark angle in degrees, counter-clockwise, " +
                             std::to_string(klv::cli::kMinWatermarkAngle) + " to " +
                             std::to_string(klv::cli::kMaxWatermarkAngle));
    printCmd->add_option("--watermark-color", settings.watermarkColour, "Watermark colour, #RRGGBB or R,G,B");
    printCmd->add_flag("--full-page", settings.fullPage, "Print on the whole page (full-page origin patch)");
    printCmd->add_flag("--flip", settings.flip, "Set the flip key");
    printCmd->add_option("--job-name", settings.jobName,
                         "Job name of the job ticket, at most 80 characters (default: the document name)");
    printCmd->add_option("--job-password", settings.jobPassword,
                         "Job password of the job ticket, at most 4 characters");
    printCmd->add_option("--dpi", print.dpi, "Device resolution in dots per inch")
        ->check(CLI::Range(72, 2400))
        ->capture_default_str();
    printCmd
        ->add_option("--codepage", print.codepage,
                     "ANSI code page the plug-in converts text to (default: $KLVPS_ANSI_CODEPAGE, else 1252)")
        ->check(CLI::Range(1, 65535));
    printCmd->add_flag(
        "--trace", print.trace,
        "Print every call made to the plug-in (drawing calls with their hook and result) and the "
        "plug-in's trace lines of the job (where it fell back or gave up) on standard error; "
        "KLVPS_TRACE=1 does the same");
    printCmd
        ->add_option("-o,--output", print.output,
                     "PostScript file to write; - for standard output (INPUT only)")
        ->required();

    klv::cli::PreviewOptions preview;
    CLI::App* previewCmd = klv::cli::AddPreviewCommand(app, preview);

    klv::check::CheckOptions check;
    CLI::App* checkCmd = klv::check::AddCheckCommand(app, check);

    CLI::App* devmodeCmd = app.add_subcommand("devmode", "Create, show and edit private device-mode files.");
    devmodeCmd->require_subcommand(1);
    std::string newPlugin = DefaultPlugin(), newOutput;
    std::vector<std::string> newSets;
    CLI::App* newCmd =
        devmodeCmd->add_subcommand("new", "Write the plug-in's default device mode to a file.");
    newCmd->add_option("--plugin", newPlugin, "Plug-in library to load")->capture_default_str();
    newCmd->add_option("--set", newSets, setHelp)->allow_extra_args(false);
    newCmd->add_option("-o,--output", newOutput, "Device-mode file to write")->required();

    std::string showFile;
    CLI::App* showCmd =
        devmodeCmd->add_subcommand("show", "Print the named fields of a device-mode file as JSON; a block "
                                           "whose size or signature is not the plug-in's is named as such "
                                           "first, on stderr.");
    showCmd->add_option("file", showFile, "Device-mode file")->required();

    std::string setFile;
    std::vector<std::string> setAssignments;
    CLI::App* setCmd = devmodeCmd->add_subcommand(
        "set", "Change fields of a device-mode file in place: FIELD=VALUE ... Fields: " + FieldList() +
                   ". Nothing is written unless every assignment is valid.");
    setCmd->add_option("file", setFile, "Device-mode file")->required();
    setCmd->add_option("assignments", setAssignments, "FIELD=VALUE")->required();

    std::string infoPlugin = DefaultPlugin();
    CLI::App* infoCmd = app.add_subcommand("info", "Load the plug-in and print its signature and version.");
    infoCmd->add_option("--plugin", infoPlugin, "Plug-in library to load")->capture_default_str();

    const std::string first = argc > 1 ? argv[1] : "";
    if (!first.empty() && first[0] != '-' && first != "print" && first != "check" && first != "preview" &&
        first != "devmode" && first != "info") {
        std::cerr << "klvps: unknown command '" << first
                  << "' (commands: print, check, preview, devmode, info)\n"
                  << "Run with --help for more information.\n";
        return 2;
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        // Help and version exit 0; every other parse error is bad usage.
        return app.exit(e) == 0 ? 0 : 2;
    }
    if (checkCmd->parsed())
        return klv::check::RunCheckCommand(check);

    try {
        print.documentGiven = printCmd->count("--document") > 0;
        if (printCmd->parsed() && print.output == "-" && print.input.empty())
            throw Failure{"print: standard output (-o -) takes an existing job only"};
        if (printCmd->parsed())
            Print(print);
        else if (previewCmd->parsed())
            klv::cli::Preview(preview);
        else if (newCmd->parsed())
            DevModeNew(newPlugin, newOutput, newSets);
        else if (showCmd->parsed())
            DevModeShow(showFile);
        else if (setCmd->parsed())
            DevModeSet(setFile, setAssignments);
        else if (infoCmd->parsed())
            Info(infoPlugin);
    } catch (const Failure& f) {
        std::cerr << "klvps: " << f.message << "\n";
        return 1;
    } catch (const std::exception& e) {
        std::cerr << "klvps: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
