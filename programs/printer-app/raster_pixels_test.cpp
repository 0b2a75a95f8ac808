// The raster path in pixels: a PWG raster job and a JPEG job of a known
// picture go through the application, and the PostScript the printer
// receives, rendered in Ghostscript, shows the picture where the input has
// it and the watermark where it lies.
#include "libraries/ghostscript/ghostscript.h"
#include "libraries/ghostscript/raster.h"
#include "libraries/support/process.h"
#include "libraries/support/temp_dir.h"
#include "programs/printer-app/app_clients.h"
#include "testing/require_ghostscript.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>

namespace klv::app::testing {
namespace {

namespace fs = std::filesystem;

// A letter page: four blocks in colours far from the watermark's red, and
// white across the middle, where the watermark goes.
constexpr const char* kPicture = "%!PS-Adobe-3.0\n%%Pages: 1\n%%EndComments\n%%Page: 1 1\n"
                                 "<< /PageSize [612 792] >> setpagedevice\n"
                                 "0 0 1 setrgbcolor 72 72 200 200 rectfill\n"
                                 "0 0.6 0 setrgbcolor 340 72 200 200 rectfill\n"
                                 "0 setgray 72 520 200 200 rectfill\n"
                                 "1 0.85 0 setrgbcolor 340 520 200 200 rectfill\n"
                                 "showpage\n%%EOF\n";

constexpr int kDpi = 50;
constexpr gs::Rgb kWatermark{255, 0, 0};
constexpr const char* kWatermarkAttributes =
    " ATTR text klvps-watermark MARK\n ATTR text klvps-watermark-color \"#FF0000\"\n"
    " ATTR integer klvps-watermark-angle 0\n ATTR integer klvps-watermark-size 144\n";

// Where the input page lies on the printed page, in points: its scale and
// the offset of its top left corner.
struct Placement {
    double scale = 1;
    double left = 0;
    double top = 0;
};

bool Near(gs::Rgb a, gs::Rgb b, int tolerance) {
    return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance &&
           std::abs(a.b - b.b) <= tolerance;
}

struct Comparison {
    int differing = 0;       // pixels that are neither the input's nor the watermark's
    int watermark = 0;       // pixels of the watermark's colour
    int watermarkMiddle = 0; // of those, in the middle third of the page's height
};

// Each printed pixel against the input's pixels around where it came from:
// every channel within the range the input has there, give or take the
// tolerance. Scaling and sampling move an edge by a pixel and may blend
// the colours on either side of it.
Comparison Compare(const gs::Raster& printed, const gs::Raster& input, const Placement& placement,
                   int tolerance) {
    Comparison c;
    const double pointsPerPixel = 72.0 / kDpi;
    for (int y = 0; y < printed.Height(); ++y) {
        for (int x = 0; x < printed.Width(); ++x) {
            const gs::Rgb pixel = printed.At(x, y);
            if (Near(pixel, kWatermark, 60)) {
                ++c.watermark;
                c.watermarkMiddle += y > printed.Height() / 3 && y < printed.Height() * 2 / 3;
                continue;
            }
            const int sx = static_cast<int>(((x + 0.5) * pointsPerPixel - placement.left) / placement.scale /
                                            pointsPerPixel);
            const int sy = static_cast<int>(((y + 0.5) * pointsPerPixel - placement.top) / placement.scale /
                                            pointsPerPixel);
            gs::Rgb low{255, 255, 255};
            gs::Rgb high{0, 0, 0};
            for (int iy = sy - 1; iy <= sy + 1; ++iy) {
                for (int ix = sx - 1; ix <= sx + 1; ++ix) {
                    const bool inside = ix >= 0 && iy >= 0 && ix < input.Width() && iy < input.Height();
                    const gs::Rgb there = inside ? input.At(ix, iy) : gs::Rgb{255, 255, 255};
                    low = {std::min(low.r, there.r), std::min(low.g, there.g), std::min(low.b, there.b)};
                    high = {std::max(high.r, there.r), std::max(high.g, there.g), std::max(high.b, there.b)};
                }
            }
            const auto within = [tolerance](int value, int from, int to) {
                return value >= from - tolerance && value <= to + tolerance;
            };
            c.differing += !(within(pixel.r, low.r, high.r) && within(pixel.g, low.g, high.g) &&
                             within(pixel.b, low.b, high.b));
        }
    }
    return c;
}

struct RasterCase {
    const char* name;
    const char* format;
    std::vector<std::string> device; // Ghostscript's arguments that make the document
    Placement placement;
    int tolerance; // per channel; JPEG's compression moves colours
};

TEST(RasterPixelsTest, PrintedPagesShowTheInputPictureAndTheWatermarkWhereItLies) {
    KLV_REQUIRE_GHOSTSCRIPT();
    support::TempDir dir;
    klv::testing::LoopbackPrinter printer(dir.Path() / "printer");
    PrinterApp app;
    ASSERT_TRUE(app.Running()) << app.Log();
    std::string output;
    ASSERT_TRUE(app.AddPrinter("lab", printer.Uri(), &output)) << output;
    const fs::path picture = dir.Path() / "picture.ps";
    std::ofstream(picture) << kPicture;
    const gs::Raster input = gs::RenderPage(kPicture, kDpi);
    ASSERT_FALSE(input.Empty());

    // A JPEG is fitted into the printable area (a sixth of an inch in from
    // each edge) and centred; a PWG raster page is the whole page.
    constexpr double kFit = 588.0 / 612.0;
    const RasterCase kCases[] = {
        {"picture.pwg",
         "image/pwg-raster",
         {"-sDEVICE=pwgraster", "-r300", "-dcupsColorSpace=19", "-dcupsBitsPerColor=8"},
         {1, 0, 0},
         24},
        {"picture.jpg",
         "image/jpeg",
         {"-sDEVICE=jpeg", "-r100", "-dJPEGQ=90"},
         {kFit, 12, (792 - 792 * kFit) / 2},
         48},
    };
    int sent = 0;
    for (const RasterCase& c : kCases) {
        SCOPED_TRACE(c.name);
        const fs::path document = dir.Path() / c.name;
        std::vector<std::string> argv = {
            gs::GhostscriptProgram(),           "-q", "-dSAFER", "-dBATCH", "-dNOPAUSE", "-dLastPage=1",
            "-sOutputFile=" + document.string()};
        argv.insert(argv.end(), c.device.begin(), c.device.end());
        argv.push_back(picture.string());
        ASSERT_EQ(support::RunProcess(argv).exitStatus, 0);
        const IppResult result =
            PrintFile(app, "lab", document, c.format, "pixels", c.name, kWatermarkAttributes);
        ASSERT_EQ(result.status, 0) << result.output;
        // PAPPL takes a streamed raster job only when the printer is idle.
        EXPECT_EQ(WaitForJobEnd(app, "lab", result.Value("job-id")), "completed") << app.Log();
        ++sent;
        ASSERT_TRUE(printer.WaitForDocuments(sent, 90)) << app.Log();
        const gs::Raster printed = gs::RenderPage(printer.Documents().back(), kDpi);
        ASSERT_EQ(printed.Width(), input.Width());
        ASSERT_EQ(printed.Height(), input.Height());
        const Comparison compared = Compare(printed, input, c.placement, c.tolerance);
        const int pixels = printed.Width() * printed.Height();
        EXPECT_LT(compared.differing, pixels / 500) << "of " << pixels;
        // "MARK" at 144 points covers some thousands of pixels at 50 dpi.
        EXPECT_GT(compared.watermarkMiddle, 2000);
        EXPECT_EQ(compared.watermarkMiddle, compared.watermark);
    }
}

} // namespace
} // namespace klv::app::testing
