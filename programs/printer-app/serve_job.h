// The one place where the printer application hands a job to the job
// pipeline: a document file of a format the application accepts, billed to
// the IPP job, written through the plug-in to an output as it goes.
#pragma once

#include "libraries/job/job.h"
#include "libraries/simulator/simulator.h"

#include <functional>
#include <string>

namespace klv::app {

struct ServedJob {
    std::string document; // the spooled document file
    std::string format;   // its MIME type: application/postscript, application/pdf or text/plain
    std::string printer;  // for the watermark's {printer}
    sim::JobSetup setup;  // user, title, job id, paper, resolution, device mode
    // Asked between writes; true stops the job (Cancel-Job).
    std::function<bool()> cancelled;
};

struct ServeResult {
    bool ok = false;
    std::string error; // for job-state-message
    int pages = 0;
};

// simulator must be open; jobs may share it from several threads.
ServeResult ServeJob(sim::Simulator& simulator, const ServedJob& served, job::Output& out);

// The job record the job library runs (without its output).
job::JobData JobDataFor(const ServedJob& served);

} // namespace klv::app
