// The application's part: a job's pages drawn through a driver session
// whose drawing functions write the PostScript job.
#include "libraries/simulator/job_writer.h"

#include <cmath>
#include <functional>

namespace klv::sim {

namespace {

// A gray ramp from black at the top left to white at the bottom right.
GrayImage RampImage() {
    constexpr LONG kSide = 48;
    GrayImage image{kSide, kSide, {}};
    for (LONG y = 0; y < kSide; ++y)
        for (LONG x = 0; x < kSide; ++x)
            image.pixels.push_back(static_cast<std::uint8_t>((x + y) * 255 / (2 * kSide - 2)));
    return image;
}

// What the application passes through the escape, in the page's device
// pixels (y up): a gray ring. $1 and $2 its centre, $3 radius, $4 line width.
constexpr std::string_view kPassthroughRing = "gsave 0.5 setgray $4 setlinewidth\n"
                                              "newpath $1 $2 $3 0 360 arc stroke grestore\n";

// One of every kind of drawing, in a block from `top` down, in points;
// `pixels` turns points into device pixels. Returns what failed, or "".
std::string DrawEveryKind(DriverSession& session, double top, const std::function<LONG(double)>& pixels) {
    auto point = [&](double x, double y) { return POINTL{pixels(x), pixels(top + y)}; };
    auto rect = [&](double left, double upper, double right, double lower) {
        return RECTL{pixels(left), pixels(top + upper), pixels(right), pixels(top + lower)};
    };
    const Colour navy{0, 0, 128}, red{200, 0, 0}, gold{230, 180, 0}, teal{0, 128, 128};
    if (!session.StrokePath({point(36, 60), point(66, 0), point(96, 60), point(126, 0), point(156, 60)},
                            false, navy, pixels(2)))
        return "DrvStrokePath failed";
    if (!session.FillPath({point(176, 60), point(206, 0), point(236, 60)}, red))
        return "DrvFillPath failed";
    if (!session.StrokeAndFillPath({point(256, 30), point(286, 0), point(316, 30), point(286, 60)}, navy,
                                   pixels(1), gold))
        return "DrvStrokeAndFillPath failed";
    if (!session.GradientFill(rect(336, 0, 504, 60), teal, Colour{255, 255, 255}))
        return "DrvGradientFill failed";

    const GrayImage ramp = RampImage();
    struct ImageStep {
        ImageCall call;
        const char* name;
        double left;
        bool stretched; // else copied pixel for pixel
    };
    constexpr ImageStep kImages[] = {
        {ImageCall::kBitBlt, "DrvBitBlt", 36, false},
        {ImageCall::kCopyBits, "DrvCopyBits", 96, false},
        {ImageCall::kTransparentBlt, "DrvTransparentBlt", 156, false},
        {ImageCall::kStretchBlt, "DrvStretchBlt", 216, true},
        {ImageCall::kStretchBltROP, "DrvStretchBltROP", 276, true},
        {ImageCall::kAlphaBlend, "DrvAlphaBlend", 336, true},
    };
    for (const ImageStep& step : kImages) {
        const RECTL upper = rect(step.left, 80, step.left + 40, 120);
        const RECTL target =
            step.stretched ? upper
                           : RECTL{upper.left, upper.top, upper.left + ramp.width, upper.top + ramp.height};
        if (!session.DrawImage(step.call, ramp, target))
            return std::string(step.name) + " failed";
    }
    // The ramp leaning right, as a parallelogram.
    if (!session.DrawImage(ramp, ImagePlace{point(406, 80), point(446, 80), point(396, 120)}))
        return "DrvPlgBlt failed";

    if (!session.ColourTransform())
        return "the colour transform was not created and deleted";
    const POINTL centre = point(486, 100);
    const double flippedY = static_cast<double>(session.Gdi().ulVertRes) - centre.y;
    if (!session.Passthrough(FillTemplate(kPassthroughRing, {PsNumber(centre.x), PsNumber(flippedY),
                                                             PsNumber(pixels(18)), PsNumber(pixels(2))})))
        return "DrvEscape failed";
    session.QueryJpegSupport(); // either answer is fine
    return "";
}

} // namespace

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
        if (page.everyDrawingCall) {
            const double below = margin / pixelsPerPoint + 12.0 * static_cast<double>(page.lines.size() + 2);
            const std::string failed = DrawEveryKind(session, below, pixels);
            if (!failed.empty())
                session.Fault(failed + onPage);
            const std::u16string text = page.lines.empty() ? u"" : support::Utf8ToUtf16(page.lines.front());
            if (!session.QueryDeviceFont(text))
                session.Fault("a font query failed" + onPage);
        }
        for (size_t i = 0; i < page.lines.size(); ++i) {
            const POINTL origin{margin, margin + static_cast<LONG>(i + 1) * lineHeight};
            const RECTL bounds{margin, origin.y - lineHeight, printableWidth - margin, origin.y};
            if (!session.TextOut(support::Utf8ToUtf16(page.lines[i]), origin, bounds))
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

Job SampleJob(int pages, const std::vector<std::string>& lines, bool everyDrawingCall) {
    Job job;
    job.pages.clear();
    for (int p = 1; p <= pages; ++p) {
        Page page;
        page.lines.push_back("Page " + std::to_string(p) + " of " + std::to_string(pages));
        page.lines.insert(page.lines.end(), lines.begin(), lines.end());
        // A rule under the heading, 6.5 inches long and 1 point thick.
        page.boxes.push_back(Box{36, 51, 504, 52, 0, 0, 0});
        page.everyDrawingCall = everyDrawingCall && p == 1;
        job.pages.push_back(std::move(page));
    }
    return job;
}

} // namespace klv::sim
