// A raster document (PWG raster, Apple raster, JPEG, PNG: PAPPL decodes
// them into lines) written as one DSC PostScript job as the lines arrive,
// with the plug-in's text at the five injection points the driver serves.
// Each page is one DSC page holding one image, Flate-compressed and ASCII85
// encoded so the job stays 7-bit clean and needs no byte counts up front.
// White pixels are masked out (ImageType 4), so the watermark, which the
// plug-in draws at the page setup, shows wherever the page is blank, as it
// does under a vector document.
//
//   klv::app::RasterJob job(session, out);
//   job.Begin(&error);
//   job.StartPage({width, height, 3, false, 612, 792});
//   for (each line) job.WriteLine(line);
//   job.EndPage();
//   job.End(&error);
#pragma once

#include "libraries/dsc/dsc_pass.h"
#include "libraries/simulator/simulator.h"

#include <cstdint>
#include <memory>
#include <string>

namespace klv::app {

struct RasterPage {
    unsigned width = 0;       // pixels
    unsigned height = 0;      // lines
    unsigned colours = 1;     // 1 gray, 3 RGB; 8 bits each
    bool zeroIsWhite = false; // gray as black ink (0 white, 255 black)
    double widthPoints = 612;
    double heightPoints = 792;
};

class RasterJob {
public:
    // The session must be begun (Begin, StartDoc); the job ends it.
    RasterJob(sim::DriverSession& session, dsc::DscOutput& out);
    ~RasterJob();
    RasterJob(const RasterJob&) = delete;
    RasterJob& operator=(const RasterJob&) = delete;

    bool Begin();
    bool StartPage(const RasterPage& page);
    bool WriteLine(const std::uint8_t* line); // width * colours bytes
    bool EndPage();
    // The trailer, EndDoc and DisablePDEV. False with a message when a
    // write failed or the plug-in reported a fault.
    bool End(std::string* error);

    int Pages() const { return pages_; }

private:
    bool Write(std::string_view bytes);
    bool Flush(bool finish);

    sim::DriverSession& session_;
    dsc::DscOutput& out_;
    struct Encoder;
    std::unique_ptr<Encoder> encoder_;
    RasterPage page_;
    int pages_ = 0;
    bool failed_ = false;
};

// ASCII85 (PostScript's ASCII85Encode) of bytes, with `column` carrying the
// line position across calls so lines stay under 80 characters. A partial
// group of fewer than four bytes is encoded only when `last` is set;
// otherwise it is left in `pending`.
void Ascii85(std::string& pending, bool last, std::string& out, int& column);

} // namespace klv::app
