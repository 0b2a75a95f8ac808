// The application's part: a job's pages drawn through a driver session
// whose drawing functions write the PostScript job.
#include "tools/simulator/job_writer.h"

#include <cmath>

namespace klv::sim {

JobResult Simulator::Run(const Job& job, const Progress& progress) {
    JobResult result;
    DriverSession session(*this);
    JobWriter writer(session, job.pages.size());
    if (!session.Begin(job, &writer, &result.error)) {
        static_cast<SessionLog&>(result) = session.Log();
        return result;
    }
    session.StartDoc();

    const int pages = static_cast<int>(job.pages.size());
    const double pixelsPerPoint = job.dpi / 72.0;
    const LONG lineHeight = static_cast<LONG>(std::lround(job.dpi * 12.0 / 72)); // 12 pt lines
    const LONG margin = job.dpi / 2;
    const LONG printableWidth = static_cast<LONG>(session.Gdi().ulHorzRes);
    auto pixels = [&](double points) { return static_cast<LONG>(std::lround(points * pixelsPerPoint)); };
    for (int p = 0; p < pages; ++p) {
        const Page& page = job.pages[static_cast<size_t>(p)];
        const std::string onPage = " on page " + std::to_string(p + 1);
        if (!session.StartPage())
            session.Fault("DrvStartPage failed" + onPage);
        for (const Box& box : page.boxes) {
            const RECTL rect{pixels(box.left), pixels(box.top), pixels(box.right), pixels(box.bottom)};
            if (!session.FillRect(rect, Colour{box.red, box.green, box.blue}))
                session.Fault("DrvBitBlt failed" + onPage);
        }
        for (size_t i = 0; i < page.lines.size(); ++i) {
            const POINTL origin{margin, margin + static_cast<LONG>(i + 1) * lineHeight};
            const RECTL bounds{margin, origin.y - lineHeight, printableWidth - margin, origin.y};
            if (!session.TextOut(Utf8ToUtf16(page.lines[i]), origin, bounds))
                session.Fault("DrvTextOut failed" + onPage);
        }
        if (!session.SendPage())
            session.Fault("DrvSendPage failed" + onPage);
        if (progress)
            progress(p + 1, pages);
    }
    session.EndDoc();
    session.End();

    static_cast<SessionLog&>(result) = session.Log();
    result.postscript = writer.TakeDocument();
    if (!result.faults.empty()) {
        result.error = result.faults.front();
        return result;
    }
    result.ok = true;
    return result;
}

Job SampleJob(int pages, const std::vector<std::string>& lines) {
    Job job;
    job.pages.clear();
    for (int p = 1; p <= pages; ++p) {
        Page page;
        page.lines.push_back("Page " + std::to_string(p) + " of " + std::to_string(pages));
        page.lines.insert(page.lines.end(), lines.begin(), lines.end());
        // A rule under the heading, 6.5 inches long and 1 point thick.
        page.boxes.push_back(Box{36, 51, 504, 52, 0, 0, 0});
        job.pages.push_back(std::move(page));
    }
    return job;
}

} // namespace klv::sim
