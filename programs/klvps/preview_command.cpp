#include "programs/klvps/preview_command.h"

#include "libraries/ghostscript/ghostscript.h"
#include "libraries/simulator/simulator.h"
#include "libraries/support/files.h"
#include "libraries/support/process.h"
#include "libraries/support/temp_dir.h"
#include "programs/klvps/check/run_check.h"
#include "programs/klvps/page_range.h"

#include <CLI/CLI.hpp>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <stdexcept>

namespace klv::cli {

namespace {

namespace fs = std::filesystem;

std::string ReadFile(const std::string& path) {
    std::string error;
    std::optional<std::string> bytes = support::ReadFile(path, &error);
    if (!bytes)
        throw CommandFailure(error);
    return std::move(*bytes);
}

void WriteOutput(const std::string& path, const std::string& bytes) {
    std::string error;
    if (!support::WriteFileAtomically(path, bytes, &error))
        throw CommandFailure(error);
}

// One page rendered to PNG bytes.
std::string RenderPng(const PreviewOptions& o, int page) {
    support::TempDir dir;
    const fs::path png = dir.Path() / "page.png";
    const support::ProcessResult run =
        gs::RunGhostscriptWith({"-sDEVICE=png16m", "-r" + std::to_string(o.dpi),
                                "-dFirstPage=" + std::to_string(page), "-dLastPage=" + std::to_string(page),
                                "-sOutputFile=" + png.string(), fs::absolute(o.input).string()},
                               o.timeoutSeconds);
    if (!run.started)
        throw CommandFailure("cannot run Ghostscript (" + gs::GhostscriptProgram() + "): " + run.output);
    if (run.timedOut)
        throw CommandFailure(o.input + ": page " + std::to_string(page) +
                             " did not finish; Ghostscript was stopped after " +
                             std::to_string(o.timeoutSeconds) + " seconds (--timeout)");
    if (const gs::GsErrors errors = gs::ReadErrors(run.output); errors.postscriptError)
        throw CommandFailure(o.input + ": PostScript error /" + errors.name + " in " + errors.command +
                             "\n--- Ghostscript output ---\n" + run.output);
    if (run.exitStatus != 0)
        throw CommandFailure(o.input + ": Ghostscript failed (exit status " + std::to_string(run.exitStatus) +
                             ")\n" + run.output);
    std::error_code ec;
    if (!fs::exists(png, ec) || fs::file_size(png, ec) == 0)
        throw CommandFailure(o.input + ": there is no page " + std::to_string(page));
    return ReadFile(png.string());
}

// The output name for a page: %d stands for the page number.
std::string PageFileName(const std::string& pattern, int page) {
    std::string name = pattern;
    const size_t at = name.find("%d");
    if (at != std::string::npos)
        name.replace(at, 2, std::to_string(page));
    return name;
}

} // namespace

void Preview(const PreviewOptions& o) {
    const std::string postscript = ReadFile(o.input);
    const bool several = o.output.find("%d") != std::string::npos;
    std::vector<int> pages = {o.page};
    if (!o.pages.empty()) {
        std::string error;
        if (!ParsePageRange(o.pages, &pages, &error))
            throw CommandFailure("--pages: " + error);
        if (pages.size() > 1 && !several)
            throw CommandFailure("--pages names " + std::to_string(pages.size()) +
                                 " pages; the output name needs %d for the page number, e.g. page-%d.png");
    } else if (several) {
        // Every page of the job: the stand-in printer counts them.
        const check::CheckRun counted = check::RunCheck(postscript, o.timeoutSeconds);
        if (!counted.started)
            throw CommandFailure("cannot run Ghostscript (" + gs::GhostscriptProgram() +
                                 "): " + counted.startError);
        if (counted.outcome.timedOut)
            throw CommandFailure(o.input + ": the job did not end; Ghostscript was stopped after " +
                                 std::to_string(o.timeoutSeconds) + " seconds (--timeout)");
        if (counted.received.error)
            throw CommandFailure(o.input + ": PostScript error /" + counted.received.error->name + " in " +
                                 counted.received.error->command);
        pages.clear();
        for (int p = 1; p <= counted.received.pages; ++p)
            pages.push_back(p);
        if (pages.empty())
            throw CommandFailure(o.input + ": the job has no page");
    }

    // Every page is rendered before any file is written, so a failure
    // leaves no output behind.
    const bool progress = pages.size() > 1 && isatty(STDERR_FILENO);
    std::vector<std::string> images;
    for (size_t i = 0; i < pages.size(); ++i) {
        images.push_back(RenderPng(o, pages[i]));
        if (progress)
            std::cerr << "klvps: page " << pages[i] << " rendered (" << i + 1 << " of " << pages.size()
                      << ")\n";
    }
    std::vector<std::string> written;
    try {
        for (size_t i = 0; i < pages.size(); ++i) {
            written.push_back(PageFileName(o.output, pages[i]));
            WriteOutput(written.back(), images[i]);
        }
    } catch (const CommandFailure&) {
        written.pop_back();
        for (const std::string& file : written)
            std::remove(file.c_str());
        throw;
    }
    if (written.size() == 1)
        std::cerr << "klvps: wrote " << written.front() << " (page " << pages.front() << " at " << o.dpi
                  << " dpi)\n";
    else
        std::cerr << "klvps: wrote " << written.size() << " pages at " << o.dpi << " dpi, " << written.front()
                  << " to " << written.back() << "\n";
}

Command AddPreviewCommand(CLI::App& app) {
    auto options = std::make_shared<PreviewOptions>();
    PreviewOptions& o = *options;
    CLI::App* previewCmd = app.add_subcommand(
        "preview", "Render pages of a PostScript file to PNG images with Ghostscript (fails when Ghostscript "
                   "reports a PostScript error; no image is written unless every page renders).");
    previewCmd->add_option("input", o.input, "PostScript file")->required();
    previewCmd
        ->add_option("-o,--output", o.output,
                     "PNG file to write; with %d in the name (page-%d.png) one file per page, all pages "
                     "unless --pages says which")
        ->required();
    CLI::Option* pageOpt = previewCmd->add_option("--page", o.page, "Page to render, from 1")
                               ->check(CLI::Range(1, 100000))
                               ->capture_default_str();
    previewCmd->add_option("--pages", o.pages, "Pages to render, e.g. 1-3,5 (the output name needs %d)")
        ->excludes(pageOpt);
    previewCmd->add_option("--dpi", o.dpi, "Resolution of the images")
        ->check(CLI::Range(10, 1200))
        ->capture_default_str();
    previewCmd
        ->add_option("--timeout", o.timeoutSeconds,
                     "Stop a page that has not rendered after this many seconds")
        ->check(CLI::Range(1, 86400))
        ->capture_default_str();

    return {previewCmd, [options] {
                Preview(*options);
                return 0;
            }};
}

} // namespace klv::cli
