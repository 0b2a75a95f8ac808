#include "programs/klvps/print_job.h"

#include "libraries/dsc/buffered_output.h"
#include "libraries/dsc/dsc_pass.h"
#include "libraries/dsc/file_output.h"

#include <fstream>
#include <iostream>
#include <unistd.h>

namespace klv::cli {

static_assert(dsc::kComments == PSINJECT_COMMENTS);
static_assert(dsc::kBeginProlog == PSINJECT_BEGINPROLOG);
static_assert(dsc::kEndProlog == PSINJECT_ENDPROLOG);
static_assert(dsc::kBeginSetup == PSINJECT_BEGINSETUP);
static_assert(dsc::kBeginPageSetup == PSINJECT_BEGINPAGESETUP);

namespace {

// Says what to do about a job the pass refused for want of a DSC header.
std::string ExplainNoHeader(std::istream& in) {
    in.clear();
    in.seekg(0);
    char magic[5] = {};
    in.read(magic, sizeof magic);
    if (std::string(magic, static_cast<std::size_t>(in.gcount())) == "%PDF-")
        return " (it is a PDF file; convert it to PostScript first)";
    return " (--pass-through copies such a job unchanged)";
}

} // namespace

ExistingJobResult PrintExistingJob(sim::Simulator& simulator, const ExistingJob& job,
                                   const std::function<void(int page)>& onPage) {
    std::ifstream in(job.input, std::ios::binary);
    if (!in) {
        ExistingJobResult result;
        result.error = (job.name.empty() ? job.input : job.name) + ": cannot be opened";
        return result;
    }
    ExistingJobResult result = PrintExistingJob(simulator, in, job, onPage);
    if (!result.ok && result.error.find("no DSC header") != std::string::npos)
        result.error += ExplainNoHeader(in);
    return result;
}

ExistingJobResult PrintExistingJob(sim::Simulator& simulator, std::istream& in, const ExistingJob& job,
                                   const std::function<void(int page)>& onPage) {
    ExistingJobResult result;
    const std::string& name = job.name.empty() ? job.input : job.name;

    std::unique_ptr<dsc::FileOutput> file;
    // Large blocks straight to the descriptor; whatever std::cout holds goes first.
    std::cout.flush();
    dsc::FdOutput standardOutput(STDOUT_FILENO);
    dsc::DscOutput* out = &standardOutput;
    if (job.output != "-") {
        file = std::make_unique<dsc::FileOutput>(job.output);
        if (!file->Open(&result.error))
            return result;
        out = file.get();
    }

    sim::DriverSession session(simulator);
    session.KeepLogText(false); // a job of any length: memory stays flat
    if (!session.Begin(job.setup, nullptr, &result.error))
        return result;
    session.StartDoc();

    dsc::DscOptions options;
    options.passThroughNonDsc = job.passThrough;
    if (job.jobLineEndings)
        options.insertedLineEndings = dsc::InsertedLineEndings::kJobs;
    options.onPage = [&](int page) {
        if (page > 1)
            session.SendPage();
        session.StartPage();
        if (onPage)
            onPage(page);
    };
    const dsc::DscResult pass = dsc::RunDscPass(
        in, *out, [&](dsc::InjectionPoint point) { return session.Inject(point); }, options);
    if (pass.pages > 0)
        session.SendPage();
    session.EndDoc();
    session.End();
    if (job.output == "-")
        std::cout.flush();

    result.warnings = pass.warnings;
    result.pages = pass.pages;
    result.bytesRead = pass.bytesRead;
    if (!pass.ok) {
        result.error = name + ": " + pass.error;
        return result;
    }
    if (!session.Log().faults.empty()) {
        result.error = "the plug-in failed: " + session.Log().faults.front();
        return result;
    }
    if (job.output == "-" && !std::cout) {
        result.error = "standard output cannot be written";
        return result;
    }
    if (file && !file->Commit(&result.error))
        return result;
    result.ok = true;
    return result;
}

} // namespace klv::cli
