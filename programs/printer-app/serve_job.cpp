#include "programs/printer-app/serve_job.h"

#include "libraries/job/pdf_input.h"

namespace klv::app {

namespace {

std::optional<job::InputKind> KindOf(const std::string& format) {
    if (format == "application/pdf")
        return job::InputKind::kPdf;
    if (format == "text/plain")
        return job::InputKind::kText;
    return job::InputKind::kPostScript;
}

} // namespace

job::JobData JobDataFor(const ServedJob& served) {
    job::JobData data;
    data.inputPath = served.document;
    data.inputName = "the document";
    data.kind = KindOf(served.format);
    data.pdfConverter = job::ConvertPdfWithGhostscript;
    data.user = served.setup.user;
    data.title = served.setup.document;
    data.jobId = served.setup.jobId;
    data.printer = served.printer;
    data.paper = served.setup.paper;
    data.dpi = served.setup.dpi;
    data.devmode = served.setup.devmode;
    data.cancelled = served.cancelled;
    return data;
}

ServeResult ServeJob(sim::Simulator& simulator, const ServedJob& served, job::Output& out) {
    job::JobData data = JobDataFor(served);
    data.output = &out;
    const job::JobOutcome outcome = job::RunJob(simulator, data);
    if (outcome.failure == job::Failure::kCancelled)
        return {false, "cancelled", outcome.pages};
    return {outcome.ok(), outcome.message, outcome.pages};
}

} // namespace klv::app
