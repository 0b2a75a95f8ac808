// klvps: drives the plug-in library outside the printer driver. It prints
// sample jobs through a driver simulator, renders pages of PostScript with
// Ghostscript, and creates, shows and edits private device-mode files.
#include "devmode/layout.h"
#include "platform/host/host.h"
#include "tools/filter/dsc_pass.h"
#include "tools/ghostscript/ghostscript.h"
#include "tools/ghostscript/process.h"
#include "tools/klvps/devmode_fields.h"
#include "tools/klvps/print_job.h"
#include "tools/simulator/simulator.h"

#include <CLI/CLI.hpp>

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

void WriteOutput(const std::string& path, const std::string& bytes) {
    std::string error;
    if (!klv::sim::WriteFileAtomically(path, bytes, &error))
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
        if (!klv::cli::ApplyAssignment(block, a, &error))
            throw Failure{error};
    }
}

struct PrintOptions {
    std::string plugin;
    std::string devmode;
    std::vector<std::string> sets;
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

// The plug-in's trace lines of a job, on standard error.
void PrintTrace(const std::vector<std::string>& lines) {
    constexpr std::string_view kPrefix = "klvps: ";
    for (std::string_view line : lines) {
        if (line.substr(0, kPrefix.size()) == kPrefix)
            line.remove_prefix(kPrefix.size());
        std::cerr << "klvps: plug-in trace: " << line << '\n';
    }
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
    const klv::gs::ProcessResult run =
        klv::gs::RunProcess({gs, "-dNOPAUSE", "-dBATCH", "-dSAFER", "-sDEVICE=ps2write",
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
    struct NoOutput : klv::filter::DscOutput {
        bool Write(std::string_view, klv::filter::Origin) override { return true; }
    } none;
    const klv::filter::DscResult pages =
        klv::filter::RunDscPass(in, none, [](klv::filter::InjectionPoint) { return std::string(); });
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
    std::optional<klv::gs::TempDir> converted;
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
    job.setup.paper = o.paper == "a4" ? klv::sim::Paper::kA4 : klv::sim::Paper::kLetter;
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
        block = ReadDevMode(o.devmode);
    } else if (!o.sets.empty()) {
        block = sim.DefaultDevMode(&error);
        if (block.empty())
            throw Failure{error};
    }
    ApplyAll(block, o.sets);
    if (!o.input.empty()) {
        PrintExisting(sim, o, block);
        return;
    }

    std::vector<std::string> lines = o.text;
    if (lines.empty())
        lines = {"This page was printed through the klvps driver simulator.", "Document: " + o.document};
    klv::sim::Job job = klv::sim::SampleJob(o.pages, lines);
    job.user = o.user;
    job.document = o.document;
    job.jobId = o.jobId;
    job.paper = o.paper == "a4" ? klv::sim::Paper::kA4 : klv::sim::Paper::kLetter;
    job.dpi = o.dpi;
    if (!block.empty())
        job.devmode = block;

    const bool report = o.pages > 1;
    const klv::sim::JobResult result = sim.Run(job, [&](int page, int pages) {
        if (report)
            std::cerr << "klvps: page " << page << " of " << pages << " written\n";
    });
    const char* traceSwitch = std::getenv("KLVPS_TRACE");
    if (o.trace || (traceSwitch != nullptr && std::string_view(traceSwitch) == "1"))
        PrintTrace(result.trace);
    if (!result.ok)
        throw Failure{"the job failed: " + result.error};
    WriteOutput(o.output, result.postscript);
    const HRESULT unload = sim.Close();
    if (unload != S_OK)
        std::cerr << "klvps: warning: the plug-in reports that it cannot be unloaded\n";
    std::cerr << "klvps: wrote " << o.output << " (" << o.pages << (o.pages == 1 ? " page, " : " pages, ")
              << result.postscript.size() << " bytes)\n";
}

void Preview(const std::string& input, const std::string& output, int page, int dpi) {
    const std::string postscript = ReadFile(input);
    klv::gs::TempDir dir;
    const fs::path png = dir.Path() / "page.png";
    const klv::gs::GsRun run = klv::gs::RunGhostscript(
        postscript, {"-sDEVICE=png16m", "-r" + std::to_string(dpi), "-dFirstPage=" + std::to_string(page),
                     "-dLastPage=" + std::to_string(page), "-sOutputFile=" + png.string()});
    if (!run.started)
        throw Failure{"cannot run Ghostscript (" + klv::gs::GhostscriptProgram() + "): " + run.output};
    if (run.postscriptError)
        throw Failure{input + ": PostScript error /" + run.errorName + " in " + run.errorCommand +
                      "\n--- Ghostscript output ---\n" + run.output};
    if (!run.ok)
        throw Failure{input + ": Ghostscript failed (exit status " + std::to_string(run.exitStatus) + ")\n" +
                      run.output};
    std::error_code ec;
    if (!fs::exists(png, ec) || fs::file_size(png, ec) == 0)
        throw Failure{input + ": there is no page " + std::to_string(page)};
    WriteOutput(output, ReadFile(png.string()));
    std::cerr << "klvps: wrote " << output << " (page " << page << " at " << dpi << " dpi)\n";
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

void DevModeShow(const std::string& file) {
    const std::vector<std::uint8_t> block = ReadDevMode(file);
    std::cout << klv::cli::DevModeToJson(block).dump(2) << "\n";
}

void DevModeSet(const std::string& file, const std::vector<std::string>& assignments) {
    std::vector<std::uint8_t> block = ReadDevMode(file);
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
    for (const klv::cli::Field& f : klv::cli::Fields())
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
        app.add_subcommand("print", "Print a PostScript job through the driver simulator and the plug-in: "
                                    "an existing DSC job or PDF file given as INPUT, else a sample job.");
    printCmd
        ->add_option(
            "input", print.input,
            "An existing DSC PostScript job, or a PDF file (converted with Ghostscript's ps2write "
            "first): the plug-in's text goes in at its injection points and every other byte is kept")
        ->check(CLI::ExistingFile);
    printCmd->add_flag("--pass-through", print.passThrough,
                       "Copy an INPUT without a DSC header unchanged instead of refusing it");
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
    printCmd->add_option("--pages", print.pages, "Number of pages of the sample job")
        ->check(CLI::Range(1, 10000))
        ->capture_default_str()
        ->excludes("input");
    printCmd
        ->add_option("--text", print.text, "A text line printed on every page of the sample job (repeatable)")
        ->allow_extra_args(false)
        ->excludes("input");
    printCmd->add_option("--paper", print.paper, "Paper size")
        ->check(CLI::IsMember({"letter", "a4"}, CLI::ignore_case))
        ->transform(CLI::IsMember({"letter", "a4"}, CLI::ignore_case))
        ->capture_default_str();
    printCmd->add_option("--dpi", print.dpi, "Device resolution in dots per inch")
        ->check(CLI::Range(72, 2400))
        ->capture_default_str();
    printCmd
        ->add_option("--codepage", print.codepage,
                     "ANSI code page the plug-in converts text to (default: $KLVPS_ANSI_CODEPAGE, else 1252)")
        ->check(CLI::Range(1, 65535));
    printCmd->add_flag(
        "--trace", print.trace,
        "Print the plug-in's trace lines of the job (where it fell back or gave up) on standard "
        "error; KLVPS_TRACE=1 does the same");
    printCmd
        ->add_option("-o,--output", print.output,
                     "PostScript file to write; - for standard output (INPUT only)")
        ->required();

    std::string previewInput, previewOutput;
    int previewPage = 1, previewDpi = 72;
    CLI::App* previewCmd =
        app.add_subcommand("preview", "Render one page of a PostScript file to a PNG image with Ghostscript "
                                      "(fails when Ghostscript reports a PostScript error).");
    previewCmd->add_option("input", previewInput, "PostScript file")->required();
    previewCmd->add_option("-o,--output", previewOutput, "PNG file to write")->required();
    previewCmd->add_option("--page", previewPage, "Page to render, from 1")
        ->check(CLI::Range(1, 100000))
        ->capture_default_str();
    previewCmd->add_option("--dpi", previewDpi, "Resolution of the image")
        ->check(CLI::Range(10, 1200))
        ->capture_default_str();

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
        devmodeCmd->add_subcommand("show", "Print the named fields of a device-mode file as JSON.");
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
    if (!first.empty() && first[0] != '-' && first != "print" && first != "preview" && first != "devmode" &&
        first != "info") {
        std::cerr << "klvps: unknown command '" << first << "' (commands: print, preview, devmode, info)\n"
                  << "Run with --help for more information.\n";
        return 2;
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e);
    }

    try {
        print.documentGiven = printCmd->count("--document") > 0;
        if (printCmd->parsed() && print.output == "-" && print.input.empty())
            throw Failure{"print: standard output (-o -) takes an existing job only"};
        if (printCmd->parsed())
            Print(print);
        else if (previewCmd->parsed())
            Preview(previewInput, previewOutput, previewPage, previewDpi);
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
