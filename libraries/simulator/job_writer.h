// The simulated driver's PostScript output: a DSC-conforming job written
// as the engine calls the driver's drawing functions, with the plug-in's
// text at each injection point.
#pragma once

#include "libraries/simulator/simulator.h"

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace klv::sim {

// Fills the markers $1 to $9 of a template with args, in one pass: text
// taken from args is not searched again.
std::string FillTemplate(std::string_view text, std::initializer_list<std::string_view> args);

// A number as the job writes it: up to six significant digits, and no
// negative zero.
std::string PsNumber(double value);

class JobWriter final : public DriverFunctions {
public:
    JobWriter(DriverSession& session, size_t pages) : session_(session), pages_(pages) {}

    const std::string& Document() const { return document_; }
    std::string TakeDocument() { return std::move(document_); }

    bool StartPage() override;
    bool SendPage() override;
    bool EndDoc() override;
    bool TextOut(const std::u16string& text, POINTL origin) override;
    bool FillRect(const RECTL& rect, Colour colour) override;
    bool StrokePath(const std::vector<POINTL>& points, bool closed, Colour colour, LONG width) override;
    bool FillPath(const std::vector<POINTL>& points, Colour colour) override;
    bool StrokeAndFillPath(const std::vector<POINTL>& points, Colour stroke, LONG width,
                           Colour fill) override;
    bool DrawImage(const GrayImage& image, const ImagePlace& place) override;
    bool GradientFill(const RECTL& rect, Colour left, Colour right) override;
    bool Passthrough(std::string_view bytes) override;
    void WriteOutsideCommand(std::string_view bytes) override { Write(bytes); }

private:
    // Everything in the job goes through here.
    void Write(std::string_view text) { document_ += text; }
    // The plug-in's text at one injection point, ended so that the driver's
    // next line starts on a line of its own.
    void Inject(DWORD point);
    // Header comments, prolog and setup, written before the first page.
    void WriteHeader();
    // Device pixels (from the top left of the printable area) to the page's
    // coordinates (from the bottom left).
    double FlipY(double y) const;
    // The PostScript that builds a path through points in device pixels.
    std::string PathOf(const std::vector<POINTL>& points, bool closed) const;

    DriverSession& session_;
    size_t pages_;
    std::string document_;
    bool headerWritten_ = false;
    int pageNumber_ = 0;
};

} // namespace klv::sim
