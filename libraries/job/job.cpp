#include "libraries/job/job.h"

#include "devmode/layout.h"
#include "libraries/job/text_pages.h"
#include "libraries/job/variables.h"
#include "libraries/support/files.h"
#include "libraries/support/temp_dir.h"
#include "libraries/support/utf.h"
#include "platform/host/host.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace klv::job {

static_assert(dsc::kComments == PSINJECT_COMMENTS);
static_assert(dsc::kBeginProlog == PSINJECT_BEGINPROLOG);
static_assert(dsc::kEndProlog == PSINJECT_ENDPROLOG);
static_assert(dsc::kBeginSetup == PSINJECT_BEGINSETUP);
static_assert(dsc::kBeginPageSetup == PSINJECT_BEGINPAGESETUP);

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kHeadBytes = 1024;

std::string LowerExtension(std::string_view fileName) {
    std::string extension = fs::path(fileName).extension().string();
    for (char& c : extension)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return extension;
}

bool HasPdfHeader(std::string_view head) {
    return head.substr(0, kHeadBytes).find("%PDF-") != std::string_view::npos;
}

std::string HeadOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string head(kHeadBytes, '\0');
    in.read(head.data(), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<std::size_t>(in.gcount()));
    return head;
}

std::string NameOf(const JobData& data) {
    return data.inputName.empty() ? data.inputPath : data.inputName;
}

JobOutcome Fail(Failure failure, std::string message) {
    JobOutcome outcome;
    outcome.failure = failure;
    outcome.message = std::move(message);
    return outcome;
}

sim::JobSetup SetupOf(const JobData& data, const std::optional<std::vector<std::uint8_t>>& block) {
    sim::JobSetup setup;
    setup.user = data.user;
    setup.document = data.title;
    setup.jobId = data.jobId;
    setup.otherJobs = data.jobsBefore;
    setup.laterJobs = data.jobsAfter;
    setup.paper = data.paper;
    setup.dpi = data.dpi;
    setup.devmode = block;
    return setup;
}

// Cuts text to at most units UTF-16 units without splitting a surrogate
// pair.
std::u16string CutToField(std::u16string text, std::size_t units) {
    if (text.size() <= units)
        return text;
    text.resize(units);
    if (!text.empty() && text.back() >= 0xD800 && text.back() <= 0xDBFF)
        text.pop_back();
    return text;
}

// Expands the watermark's variables in block for this job.
bool ExpandWatermark(std::vector<std::uint8_t>& block, const JobData& data, JobOutcome* outcome) {
    const settings::Setting& row = settings::SettingOf(settings::Id::kWatermark);
    std::u16string text;
    for (long long i = 0; i <= row.max; ++i) {
        const char16_t unit =
            static_cast<char16_t>(dm::U16(block.data(), row.field + 2 * static_cast<DWORD>(i)));
        if (unit == 0)
            break;
        text.push_back(unit);
    }
    if (!HasVariables(text))
        return true;
    const JobFacts facts{data.user, data.title, data.jobId, data.printer,
                         data.submitted.value_or(std::time(nullptr))};
    const Expansion expanded = ExpandVariables(text, facts);
    if (!expanded.ok) {
        *outcome =
            Fail(Failure::kUnknownVariable,
                 "the watermark names " + expanded.unknown +
                     ", which is not a variable (variables: {user}, {title}, {job-id}, {date}, {time}, "
                     "{printer}; {{ and }} for braces)");
        return false;
    }
    const std::u16string cut = CutToField(expanded.text, static_cast<std::size_t>(row.max));
    for (long long i = 0; i <= row.max; ++i) {
        const char16_t unit = i < static_cast<long long>(cut.size()) ? cut[static_cast<std::size_t>(i)] : 0;
        dm::PutU16(block.data(), row.field + 2 * static_cast<DWORD>(i), unit);
    }
    return true;
}

Failure FailureOf(dsc::DscError error) {
    switch (error) {
    case dsc::DscError::kNone:
        return Failure::kNone;
    case dsc::DscError::kEmpty:
        return Failure::kEmptyInput;
    case dsc::DscError::kUnreadable:
        return Failure::kInputUnreadable;
    case dsc::DscError::kNoHeader:
        return Failure::kNotPostScript;
    case dsc::DscError::kSectionOverrun:
        return Failure::kTruncatedSection;
    case dsc::DscError::kOutputFailed:
        return Failure::kCannotWrite;
    }
    return Failure::kInputUnreadable;
}

bool Cancelled(const JobData& data) {
    return data.cancelled && data.cancelled();
}

// What a cancelled job did, as a failure: a cut-off job was not printed.
JobOutcome Cancel(JobOutcome outcome) {
    outcome.failure = Failure::kCancelled;
    outcome.message = "the job was cancelled";
    return outcome;
}

// An existing DSC job, streamed from in to the output through the pass.
JobOutcome RunPostScript(sim::Simulator& sim, const JobData& data, std::istream& in, const std::string& name,
                         const std::optional<std::vector<std::uint8_t>>& block) {
    JobOutcome outcome;
    sim::DriverSession session(sim);
    session.KeepLogText(false); // a job of any length: memory stays flat
    std::string error;
    if (!session.Begin(SetupOf(data, block), nullptr, &error))
        return Fail(Failure::kPluginFailed, error);
    session.StartDoc();

    dsc::DscOptions options;
    options.passThroughNonDsc = data.passThrough;
    if (data.jobLineEndings)
        options.insertedLineEndings = dsc::InsertedLineEndings::kJobs;
    options.onPage = [&](int page) {
        if (page > 1)
            session.SendPage();
        session.StartPage();
        if (data.onPage)
            data.onPage(page);
    };
    const dsc::DscResult pass = dsc::RunDscPass(
        in, *data.output, [&](dsc::InjectionPoint point) { return session.Inject(point); }, options);
    if (pass.pages > 0)
        session.SendPage();
    session.EndDoc();
    session.End();

    outcome.warnings = pass.warnings;
    outcome.pages = pass.pages;
    outcome.bytesRead = pass.bytesRead;
    outcome.truncated = pass.truncated;
    if (Cancelled(data))
        return Cancel(std::move(outcome));
    if (!pass.ok) {
        outcome.failure = FailureOf(pass.failure);
        outcome.message = name + ": " + pass.error;
        // A failed output says why when it is finished.
        if (pass.failure == dsc::DscError::kOutputFailed && !data.output->Finish(&error))
            outcome.message = error;
        return outcome;
    }
    if (!session.Log().faults.empty())
        return Fail(Failure::kPluginFailed, "the plug-in failed: " + session.Log().faults.front());
    if (!data.output->Finish(&error))
        return Fail(Failure::kCannotWrite, error);
    return outcome;
}

JobOutcome RunPostScriptFile(sim::Simulator& sim, const JobData& data, const std::string& path,
                             const std::optional<std::vector<std::uint8_t>>& block) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return Fail(Failure::kCannotOpenInput, NameOf(data) + ": cannot be opened");
    return RunPostScript(sim, data, in, NameOf(data), block);
}

JobOutcome RunPdf(sim::Simulator& sim, const JobData& data,
                  const std::optional<std::vector<std::uint8_t>>& block) {
    const std::string name = NameOf(data);
    if (!data.pdfConverter)
        return Fail(Failure::kPdfNotSupported, name + ": a PDF file; this printer takes PostScript only");
    if (!HasPdfHeader(HeadOf(data.inputPath)))
        return Fail(Failure::kNotPdf,
                    name + ": the name says PDF, but the file is not one (it has no %PDF- header)");
    support::TempDir converted;
    const std::string postscript = (converted.Path() / "converted.ps").string();
    std::string why;
    const Failure failure = data.pdfConverter(data.inputPath, postscript, &why, data.message);
    if (failure != Failure::kNone)
        return Fail(failure, name + ": " + why);
    return RunPostScriptFile(sim, data, postscript, block);
}

// The simulator's own job (the sample, or pages of text), written whole.
JobOutcome RunWritten(sim::Simulator& sim, const JobData& data, sim::Job job) {
    JobOutcome outcome;
    const int pages = static_cast<int>(job.pages.size());
    const sim::JobResult result = sim.Run(job, [&](int page, int total) {
        if (data.onPage)
            data.onPage(page);
        if (data.message && total > 1)
            data.message(Level::kDebug,
                         "page " + std::to_string(page) + " of " + std::to_string(total) + " written");
    });
    outcome.calls = result.calls;
    outcome.trace = result.trace;
    if (!result.ok) {
        outcome.failure = Failure::kPluginFailed;
        outcome.message = "the job failed: " + result.error;
        return outcome;
    }
    if (Cancelled(data))
        return Cancel(std::move(outcome));
    std::string error;
    if (!data.output->Write(result.postscript, dsc::Origin::kInserted) || !data.output->Finish(&error)) {
        outcome.failure = Failure::kCannotWrite;
        outcome.message = error.empty() ? "the output cannot be written" : error;
        return outcome;
    }
    outcome.pages = pages;
    outcome.bytesRead = result.postscript.size();
    return outcome;
}

// Pages of the text file laid out in the printable area the plug-in
// leaves: a probe page learns it, as full-page printing widens it.
JobOutcome RunText(sim::Simulator& sim, const JobData& data,
                   const std::optional<std::vector<std::uint8_t>>& block) {
    std::string error;
    const std::optional<std::string> text = support::ReadFile(data.inputPath, &error);
    if (!text)
        return Fail(Failure::kCannotOpenInput, error);
    sim::Job probe;
    static_cast<sim::JobSetup&>(probe) = SetupOf(data, block);
    probe.pages = {sim::Page{}};
    const sim::JobResult probed = sim.Run(probe);
    if (!probed.ok)
        return Fail(Failure::kPluginFailed, "the job failed: " + probed.error);
    // The simulator writes 10-point Courier (6 points a character) on
    // 12-point lines, half an inch in from the printable area's edges.
    const double pointsPerPixel = 72.0 / data.dpi;
    const double width = probed.gdiInfo.ulHorzRes * pointsPerPixel - 72;
    const double height = probed.gdiInfo.ulVertRes * pointsPerPixel - 72;
    std::vector<std::vector<std::string>> pages;
    if (!PaginateText(*text, static_cast<int>(std::floor(width / 6)),
                      static_cast<int>(std::floor(height / 12)), &pages, &error))
        return Fail(Failure::kBadText, NameOf(data) + ": " + error);
    sim::Job job;
    static_cast<sim::JobSetup&>(job) = SetupOf(data, block);
    job.pages.clear();
    for (std::vector<std::string>& lines : pages)
        job.pages.push_back(sim::Page{std::move(lines), {}});
    return RunWritten(sim, data, std::move(job));
}

} // namespace

InputKind KindOfInput(std::string_view head, std::string_view fileName) {
    const std::string extension = LowerExtension(fileName);
    if (HasPdfHeader(head))
        return InputKind::kPdf;
    if (head.starts_with("%!") || head.starts_with("\x1b") || head.starts_with("\x04"))
        return InputKind::kPostScript;
    if (extension == ".pdf")
        return InputKind::kPdf;
    if (extension == ".ps" || extension == ".eps")
        return InputKind::kPostScript;
    return InputKind::kText;
}

InputKind KindOfFile(const std::string& path) {
    return KindOfInput(HeadOf(path), path);
}

bool OpenPlugin(sim::Simulator& sim, const JobData& data, std::string* error) {
    if (data.codePage != 0) {
        // The plug-in converts text to the ANSI code page it finds in the
        // environment when it is loaded; check that the host supports it.
        if (!host::SetAnsiCodePage(static_cast<UINT>(data.codePage))) {
            *error = "code page " + std::to_string(data.codePage) + " is not supported on this host";
            return false;
        }
        setenv("KLVPS_ANSI_CODEPAGE", std::to_string(data.codePage).c_str(), 1);
    }
    return sim.Open(data.plugin, error);
}

settings::Refusal CheckSettings(const std::vector<SettingValue>& values) {
    for (const SettingValue& v : values) {
        if (const settings::Refusal r = settings::Check(v.id, v.value))
            return r;
    }
    return {};
}

std::optional<std::vector<std::uint8_t>> BlockFor(sim::Simulator& sim, const JobData& data,
                                                  JobOutcome* outcome) {
    std::optional<std::vector<std::uint8_t>> block = data.devmode;
    if (!block && data.settings.empty())
        return std::nullopt;
    if (!block) {
        std::string error;
        block = sim.DefaultDevMode(&error);
        if (block->empty()) {
            *outcome = Fail(Failure::kPluginFailed, error);
            return std::nullopt;
        }
    }
    for (const SettingValue& v : data.settings) {
        if (const settings::Refusal r = settings::Set(*block, v.id, v.value)) {
            *outcome = Fail(Failure::kBadSetting,
                            std::string(settings::SettingOf(r.id).key) + ": " + settings::Describe(r));
            return std::nullopt;
        }
    }
    if (!ExpandWatermark(*block, data, outcome))
        return std::nullopt;
    return block;
}

JobOutcome RunJob(sim::Simulator& sim, const JobData& data) {
    if (data.output == nullptr)
        return Fail(Failure::kCannotWrite, "no output given");
    JobOutcome outcome;
    const std::optional<std::vector<std::uint8_t>> block = BlockFor(sim, data, &outcome);
    if (!outcome.ok())
        return outcome;

    InputKind kind = InputKind::kSample;
    if (data.kind)
        kind = *data.kind;
    else if (data.input == nullptr && !data.inputPath.empty())
        kind = KindOfFile(data.inputPath);
    else if (data.input != nullptr)
        kind = InputKind::kPostScript;

    switch (kind) {
    case InputKind::kPostScript:
        if (data.input != nullptr)
            return RunPostScript(sim, data, *data.input, NameOf(data), block);
        return RunPostScriptFile(sim, data, data.inputPath, block);
    case InputKind::kPdf:
        return RunPdf(sim, data, block);
    case InputKind::kText:
        return RunText(sim, data, block);
    case InputKind::kSample: {
        std::vector<std::string> lines = data.sampleLines;
        if (lines.empty())
            lines = {"This page was printed through the klvps driver simulator.", "Document: " + data.title};
        sim::Job job = sim::SampleJob(data.samplePages, lines);
        static_cast<sim::JobSetup&>(job) = SetupOf(data, block);
        return RunWritten(sim, data, std::move(job));
    }
    }
    return Fail(Failure::kCannotOpenInput, NameOf(data) + ": unknown kind of input");
}

} // namespace klv::job
