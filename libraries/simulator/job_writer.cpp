#include "libraries/simulator/job_writer.h"
#include "libraries/simulator/session_internal.h"

#include <cmath>
#include <cstdio>

namespace klv::sim {

namespace {

// The job's templates, in the order they appear in a job. $n stands for the
// n-th argument of FillTemplate.

// $1 title, $2 user (both PostScript strings), $3 page count, $4 and $5
// bounding box width and height, $6 media name, $7 and $8 media width and
// height in points.
constexpr std::string_view kHeaderComments = "%!PS-Adobe-3.0\n"
                                             "%%Title: $1\n"
                                             "%%Creator: klvps driver simulator\n"
                                             "%%For: $2\n"
                                             "%%Pages: $3\n"
                                             "%%PageOrder: Ascend\n"
                                             "%%BoundingBox: 0 0 $4 $5\n"
                                             "%%DocumentMedia: $6 $7 $8 0 () ()\n"
                                             "%%LanguageLevel: 2\n";
// PSINJECT_COMMENTS comes before this.
constexpr std::string_view kEndComments = "%%EndComments\n";
constexpr std::string_view kBeginProlog = "%%BeginProlog\n";
// PSINJECT_BEGINPROLOG comes before the driver's procedures: T shows a
// string at a point, R fills a rectangle in a colour.
constexpr std::string_view kDriverProcSet = "%%BeginResource: procset KlvSimDriver 1.0 0\n"
                                            "/KlvSimDriver 4 dict def\n"
                                            "KlvSimDriver begin\n"
                                            "/T { moveto 0 setgray show } bind def\n"
                                            "/R { setrgbcolor rectfill } bind def\n"
                                            "end\n"
                                            "%%EndResource\n";
// PSINJECT_ENDPROLOG comes before this.
constexpr std::string_view kEndProlog = "%%EndProlog\n";
constexpr std::string_view kBeginSetup = "%%BeginSetup\n";
// PSINJECT_BEGINSETUP comes before the page size. $1 media name, $2 and $3
// width and height in points.
constexpr std::string_view kPageSizeSetup = "%%BeginFeature: *PageSize $1\n"
                                            "<< /PageSize [$2 $3] >> setpagedevice\n"
                                            "%%EndFeature\n"
                                            "%%EndSetup\n";
// $1 page number.
constexpr std::string_view kBeginPage = "%%Page: $1 $1\n"
                                        "%%BeginPageSetup\n";
// PSINJECT_BEGINPAGESETUP comes before the page transformation: $1 points
// per device pixel, $2 and $3 the printable area's corner in points; $4 the
// text size in device pixels.
constexpr std::string_view kPageSetup = "userdict /klvsim_pagesave save put\n"
                                        "KlvSimDriver begin\n"
                                        "userdict begin /mysetup [$1 0 0 $1 $2 $3] def end\n"
                                        "mysetup concat\n"
                                        "/Courier findfont $4 scalefont setfont\n"
                                        "%%EndPageSetup\n";
// $1 string, $2 and $3 baseline start.
constexpr std::string_view kShowText = "$1 $2 $3 T\n";
// $1 and $2 lower left corner, $3 width, $4 height, $5 to $7 red, green, blue.
constexpr std::string_view kFillRect = "$1 $2 $3 $4 $5 $6 $7 R\n";
// The drawing of the engine's other calls, each in its own graphics state
// so that the page's colour and line width stay as they were.
// $1 path, $2 to $4 red, green, blue, $5 line width.
constexpr std::string_view kStrokePath =
    "gsave newpath $1 $2 $3 $4 setrgbcolor $5 setlinewidth stroke grestore\n";
// $1 path, $2 to $4 red, green, blue.
constexpr std::string_view kFillPath = "gsave newpath $1 $2 $3 $4 setrgbcolor fill grestore\n";
// $1 path, $2 to $4 the fill's red, green, blue, $5 to $7 the stroke's, $8
// line width.
constexpr std::string_view kStrokeAndFillPath = "gsave newpath $1 gsave $2 $3 $4 setrgbcolor fill grestore\n"
                                                "$5 $6 $7 setrgbcolor $8 setlinewidth stroke grestore\n";
// One point of a path: $1 and $2 its coordinates, $3 moveto or lineto.
constexpr std::string_view kPathPoint = "$1 $2 $3 ";
constexpr std::string_view kClosePath = "closepath ";
// An 8-bit gray image on the unit square that concat maps onto its place:
// $1 to $6 the matrix, $7 width, $8 height, then the pixels in hex lines.
constexpr std::string_view kBeginImage = "gsave [$1 $2 $3 $4 $5 $6] concat\n"
                                         "$7 $8 8 [$7 0 0 -$8 0 $8] {<\n";
constexpr std::string_view kEndImage = ">} image grestore\n";
// Hex digits per line of an image's pixels.
constexpr size_t kImageHexLine = 64;
// A gradient is drawn as this many bands of kFillRect.
constexpr int kGradientBands = 8;
// The application's bytes of an escape, between comments that mark them.
constexpr std::string_view kBeginPassthrough = "% application data begins\n";
constexpr std::string_view kEndPassthrough = "% application data ends\n";
constexpr std::string_view kEndPage = "end\n"
                                      "userdict /klvsim_pagesave get restore\n"
                                      "showpage\n"
                                      "%%PageTrailer\n";
constexpr std::string_view kTrailer = "%%Trailer\n"
                                      "%%EOF\n";

// Ends the plug-in's text at an injection point when it did not end its
// last line itself.
constexpr std::string_view kLineEnd = "\n";

// The text size in points.
constexpr double kTextPoints = 10;

} // namespace

std::string FillTemplate(std::string_view text, std::initializer_list<std::string_view> args) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char next = i + 1 < text.size() ? text[i + 1] : '\0';
        const size_t n = static_cast<size_t>(next - '1');
        if (text[i] == '$' && next >= '1' && next <= '9' && n < args.size()) {
            out += *(args.begin() + n);
            ++i;
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

std::string PsNumber(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", std::fabs(value) < 1e-9 ? 0.0 : value);
    return text;
}

void JobWriter::Inject(DWORD point) {
    const std::string text = session_.Inject(point);
    Write(text);
    if (!text.empty() && text.back() != '\n')
        Write(kLineEnd);
}

double JobWriter::FlipY(double y) const {
    return static_cast<double>(session_.Gdi().ulVertRes) - y;
}

void JobWriter::WriteHeader() {
    headerWritten_ = true;
    const double width = session_.PageWidthPoints();
    const double height = session_.PageHeightPoints();
    const char* paperName = PaperName(session_.Setup().paper);
    Write(FillTemplate(kHeaderComments,
                       {PsString(support::Utf16ToUtf8(session_.StartDocName())), PsString(session_.Setup().user),
                        std::to_string(pages_), PsNumber(std::round(width)), PsNumber(std::round(height)),
                        paperName, PsNumber(width), PsNumber(height)}));
    Inject(PSINJECT_COMMENTS);
    Write(kEndComments);
    Write(kBeginProlog);
    Inject(PSINJECT_BEGINPROLOG);
    Write(kDriverProcSet);
    Inject(PSINJECT_ENDPROLOG);
    Write(kEndProlog);
    Write(kBeginSetup);
    Inject(PSINJECT_BEGINSETUP);
    Write(FillTemplate(kPageSizeSetup, {paperName, PsNumber(width), PsNumber(height)}));
}

bool JobWriter::StartPage() {
    if (!headerWritten_)
        WriteHeader();
    ++pageNumber_;
    Write(FillTemplate(kBeginPage, {std::to_string(pageNumber_)}));
    Inject(PSINJECT_BEGINPAGESETUP);
    const GDIINFO& gdi = session_.Gdi();
    const double scale = session_.PointsPerPixel();
    const double cornerX = gdi.ptlPhysOffset.x * scale;
    const double cornerY =
        session_.PageHeightPoints() -
        (static_cast<double>(gdi.ptlPhysOffset.y) + static_cast<double>(gdi.ulVertRes)) * scale;
    Write(FillTemplate(
        kPageSetup, {PsNumber(scale), PsNumber(cornerX), PsNumber(cornerY), PsNumber(kTextPoints / scale)}));
    return true;
}

bool JobWriter::SendPage() {
    Write(kEndPage);
    return true;
}

bool JobWriter::EndDoc() {
    if (!headerWritten_)
        WriteHeader();
    Write(kTrailer);
    return true;
}

bool JobWriter::TextOut(const std::u16string& text, POINTL origin) {
    Write(FillTemplate(kShowText,
                       {PsString(support::Utf16ToUtf8(text)), PsNumber(origin.x), PsNumber(FlipY(origin.y))}));
    return true;
}

bool JobWriter::FillRect(const RECTL& rect, Colour colour) {
    const double width = static_cast<double>(rect.right) - rect.left;
    const double height = static_cast<double>(rect.bottom) - rect.top;
    Write(FillTemplate(kFillRect, {PsNumber(rect.left), PsNumber(FlipY(rect.bottom)), PsNumber(width),
                                   PsNumber(height), PsNumber(colour.red / 255.0),
                                   PsNumber(colour.green / 255.0), PsNumber(colour.blue / 255.0)}));
    return true;
}

std::string JobWriter::PathOf(const std::vector<POINTL>& points, bool closed) const {
    std::string path;
    for (size_t i = 0; i < points.size(); ++i)
        path += FillTemplate(
            kPathPoint, {PsNumber(points[i].x), PsNumber(FlipY(points[i].y)), i == 0 ? "moveto" : "lineto"});
    if (closed)
        path += kClosePath;
    if (!path.empty())
        path.pop_back(); // the space after the last word
    return path;
}

namespace {

std::string Channel(std::uint8_t value) {
    return PsNumber(value / 255.0);
}

} // namespace

bool JobWriter::StrokePath(const std::vector<POINTL>& points, bool closed, Colour colour, LONG width) {
    Write(FillTemplate(kStrokePath, {PathOf(points, closed), Channel(colour.red), Channel(colour.green),
                                     Channel(colour.blue), PsNumber(width)}));
    return true;
}

bool JobWriter::FillPath(const std::vector<POINTL>& points, Colour colour) {
    Write(FillTemplate(
        kFillPath, {PathOf(points, true), Channel(colour.red), Channel(colour.green), Channel(colour.blue)}));
    return true;
}

bool JobWriter::StrokeAndFillPath(const std::vector<POINTL>& points, Colour stroke, LONG width, Colour fill) {
    Write(FillTemplate(kStrokeAndFillPath,
                       {PathOf(points, true), Channel(fill.red), Channel(fill.green), Channel(fill.blue),
                        Channel(stroke.red), Channel(stroke.green), Channel(stroke.blue), PsNumber(width)}));
    return true;
}

// The unit square's corner (0, 0) goes to the bottom left pixel's corner,
// (1, 0) along the top edge's direction and (0, 1) up to the top left.
bool JobWriter::DrawImage(const GrayImage& image, const ImagePlace& place) {
    if (image.width <= 0 || image.height <= 0 ||
        image.pixels.size() != static_cast<size_t>(image.width) * static_cast<size_t>(image.height))
        return false;
    const double a = static_cast<double>(place.topRight.x) - place.topLeft.x;
    const double b = static_cast<double>(place.topLeft.y) - place.topRight.y;
    const double c = static_cast<double>(place.topLeft.x) - place.bottomLeft.x;
    const double d = static_cast<double>(place.bottomLeft.y) - place.topLeft.y;
    Write(FillTemplate(kBeginImage, {PsNumber(a), PsNumber(b), PsNumber(c), PsNumber(d),
                                     PsNumber(place.bottomLeft.x), PsNumber(FlipY(place.bottomLeft.y)),
                                     std::to_string(image.width), std::to_string(image.height)}));
    constexpr char kDigits[] = "0123456789ABCDEF";
    std::string line;
    for (const std::uint8_t pixel : image.pixels) {
        line += kDigits[pixel >> 4];
        line += kDigits[pixel & 0xF];
        if (line.size() == kImageHexLine) {
            Write(line);
            Write(kLineEnd);
            line.clear();
        }
    }
    if (!line.empty()) {
        Write(line);
        Write(kLineEnd);
    }
    Write(kEndImage);
    return true;
}

bool JobWriter::GradientFill(const RECTL& rect, Colour left, Colour right) {
    const double width = static_cast<double>(rect.right) - rect.left;
    const double height = static_cast<double>(rect.bottom) - rect.top;
    auto mix = [](std::uint8_t from, std::uint8_t to, double t) { return (from + (to - from) * t) / 255.0; };
    for (int band = 0; band < kGradientBands; ++band) {
        // Each band in the colour of its middle.
        const double t = (band + 0.5) / kGradientBands;
        const double x = rect.left + width * band / kGradientBands;
        Write(FillTemplate(
            kFillRect, {PsNumber(x), PsNumber(FlipY(rect.bottom)), PsNumber(width / kGradientBands),
                        PsNumber(height), PsNumber(mix(left.red, right.red, t)),
                        PsNumber(mix(left.green, right.green, t)), PsNumber(mix(left.blue, right.blue, t))}));
    }
    return true;
}

bool JobWriter::Passthrough(std::string_view bytes) {
    Write(kBeginPassthrough);
    Write(bytes);
    if (!bytes.empty() && bytes.back() != '\n')
        Write(kLineEnd);
    Write(kEndPassthrough);
    return true;
}

} // namespace klv::sim
