#include "programs/printer-app/serve_job.h"

#include "libraries/ghostscript/ghostscript.h"
#include "libraries/support/process.h"
#include "libraries/support/temp_dir.h"
#include "programs/klvps/text_pages.h"

#include <cmath>
#include <fstream>
#include <sstream>

namespace klv::app {

namespace {

// Stops the pass at the next write once the job is cancelled.
class CancellableOutput : public dsc::DscOutput {
public:
    CancellableOutput(dsc::DscOutput& out, const std::function<bool()>& cancelled)
        : out_(out), cancelled_(cancelled) {}
    bool Write(std::string_view bytes, dsc::Origin origin) override {
        if (cancelled_ && cancelled_())
            return false;
        return out_.Write(bytes, origin);
    }

private:
    dsc::DscOutput& out_;
    const std::function<bool()>& cancelled_;
};

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

ServeResult ServePostScript(sim::Simulator& simulator, const ServedJob& job, const std::string& input,
                            dsc::DscOutput& out) {
    std::ifstream in(input, std::ios::binary);
    if (!in)
        return {false, "the spooled document cannot be read", 0};
    CancellableOutput guarded(out, job.cancelled);
    // The driver's life around the streaming pass, as klvps print runs it,
    // with the device as the output.
    sim::DriverSession session(simulator);
    session.KeepLogText(false);
    ServeResult result;
    if (!session.Begin(job.setup, nullptr, &result.error))
        return result;
    session.StartDoc();
    dsc::DscOptions options;
    options.onPage = [&](int page) {
        if (page > 1)
            session.SendPage();
        session.StartPage();
    };
    const dsc::DscResult pass = dsc::RunDscPass(
        in, guarded, [&](dsc::InjectionPoint point) { return session.Inject(point); }, options);
    if (pass.pages > 0)
        session.SendPage();
    session.EndDoc();
    session.End();
    result.pages = pass.pages;
    if (job.cancelled && job.cancelled())
        result.error = "cancelled";
    else if (!pass.ok)
        result.error = pass.error;
    else if (!session.Log().faults.empty())
        result.error = "the plug-in failed: " + session.Log().faults.front();
    else
        result.ok = true;
    return result;
}

// A PDF through Ghostscript's ps2write, then as PostScript.
ServeResult ServePdf(sim::Simulator& simulator, const ServedJob& job, dsc::DscOutput& out) {
    support::TempDir dir;
    const std::string converted = (dir.Path() / "document.ps").string();
    const support::ProcessResult run =
        support::RunProcess({gs::GhostscriptProgram(), "-dNOPAUSE", "-dBATCH", "-dSAFER", "-sDEVICE=ps2write",
                             "-sOutputFile=" + converted, job.document},
                            24 * 3600);
    if (!run.started)
        return {false, "Ghostscript cannot be started to convert the PDF", 0};
    if (run.exitStatus != 0 || run.output.find("Processing pages ") == std::string::npos)
        return {false, "the PDF document is damaged: Ghostscript cannot read its pages", 0};
    return ServePostScript(simulator, job, converted, out);
}

// Text laid out in the printable area in 10-point Courier, as klvps print
// lays it out, written by the simulator's own job writer.
ServeResult ServeText(sim::Simulator& simulator, const ServedJob& job, dsc::DscOutput& out) {
    sim::Job probe;
    static_cast<sim::JobSetup&>(probe) = job.setup;
    probe.pages = {sim::Page{}};
    const sim::JobResult probed = simulator.Run(probe);
    if (!probed.ok)
        return {false, probed.error, 0};
    const double pointsPerPixel = 72.0 / job.setup.dpi;
    const double width = probed.gdiInfo.ulHorzRes * pointsPerPixel - 72;
    const double height = probed.gdiInfo.ulVertRes * pointsPerPixel - 72;
    std::vector<std::vector<std::string>> pages;
    std::string error;
    if (!cli::PaginateText(ReadAll(job.document), static_cast<int>(std::floor(width / 6)),
                           static_cast<int>(std::floor(height / 12)), &pages, &error))
        return {false, "the text document " + error, 0};
    sim::Job text;
    static_cast<sim::JobSetup&>(text) = job.setup;
    text.pages.clear();
    for (std::vector<std::string>& lines : pages)
        text.pages.push_back(sim::Page{std::move(lines), {}});
    const sim::JobResult written = simulator.Run(text);
    if (!written.ok)
        return {false, written.error, 0};
    CancellableOutput guarded(out, job.cancelled);
    if (!guarded.Write(written.postscript, dsc::Origin::kJob))
        return {false, job.cancelled && job.cancelled() ? "cancelled" : "the printer stopped taking data", 0};
    return {true, {}, static_cast<int>(text.pages.size())};
}

} // namespace

ServeResult ServeJob(sim::Simulator& simulator, const ServedJob& job, dsc::DscOutput& out) {
    if (job.format == "application/pdf")
        return ServePdf(simulator, job, out);
    if (job.format == "text/plain")
        return ServeText(simulator, job, out);
    return ServePostScript(simulator, job, job.document, out);
}

} // namespace klv::app
