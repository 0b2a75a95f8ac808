#include "programs/printer-app/raster_job.h"

#include <cstdio>
#include <zlib.h>

namespace klv::app {

namespace {

constexpr std::size_t kChunk = 64 * 1024;

// The job around the pages, each fragment in job order. Their
// arguments: the bounding box (points); the page's number twice, its size
// (points) twice; the image's width and height in pixels, its colour space,
// decode array and mask colour.
constexpr const char* kHeader = "%%!PS-Adobe-3.0\n"
                                "%%%%Creator: klvps-printer-app\n"
                                "%%%%LanguageLevel: 3\n"
                                "%%%%Pages: (atend)\n"
                                "%%%%BoundingBox: 0 0 %d %d\n";
constexpr const char* kEndComments = "%%EndComments\n";
constexpr const char* kBeginProlog = "%%BeginProlog\n";
constexpr const char* kEndProlog = "%%EndProlog\n";
constexpr const char* kBeginSetup = "%%BeginSetup\n";
constexpr const char* kEndSetup = "%%EndSetup\n";
constexpr const char* kPageStart = "%%%%Page: %d %d\n"
                                   "%%%%PageBoundingBox: 0 0 %d %d\n"
                                   "%%%%BeginPageSetup\n"
                                   "<< /PageSize [%d %d] >> setpagedevice\n";
constexpr const char* kImage = "%%%%EndPageSetup\n"
                               "gsave\n"
                               "%s setcolorspace\n"
                               "%.2f %.2f scale\n"
                               "<< /ImageType 4 /Width %u /Height %u /BitsPerComponent 8\n"
                               "   /Decode %s /MaskColor %s\n"
                               "   /ImageMatrix [%u 0 0 -%u 0 %u]\n"
                               "   /DataSource currentfile /ASCII85Decode filter /FlateDecode filter\n"
                               ">> image\n";
constexpr const char* kPageEnd = "grestore\nshowpage\n";
constexpr const char* kTrailer = "%%%%Trailer\n%%%%Pages: %d\n%%%%EOF\n";

std::string Format(const char* format, auto... arguments) {
    char buffer[1024];
    const int n = std::snprintf(buffer, sizeof buffer, format, arguments...);
    return std::string(buffer, n > 0 ? static_cast<std::size_t>(n) : 0);
}

} // namespace

void Ascii85(std::string& pending, bool last, std::string& out, int& column) {
    std::size_t at = 0;
    auto put = [&](char c) {
        out += c;
        if (++column == 75) {
            out += '\n';
            column = 0;
        }
    };
    for (; at + 4 <= pending.size(); at += 4) {
        std::uint32_t word = 0;
        for (int i = 0; i < 4; ++i)
            word = word << 8 | static_cast<unsigned char>(pending[at + i]);
        if (word == 0) {
            put('z');
            continue;
        }
        char group[5];
        for (int i = 4; i >= 0; --i) {
            group[i] = static_cast<char>('!' + word % 85);
            word /= 85;
        }
        for (char c : group)
            put(c);
    }
    pending.erase(0, at);
    if (!last)
        return;
    if (!pending.empty()) {
        // A final partial group: padded with zeros, and only its first
        // count + 1 characters written.
        const std::size_t count = pending.size();
        std::uint32_t word = 0;
        for (std::size_t i = 0; i < 4; ++i)
            word = word << 8 | (i < count ? static_cast<unsigned char>(pending[i]) : 0u);
        char group[5];
        for (int i = 4; i >= 0; --i) {
            group[i] = static_cast<char>('!' + word % 85);
            word /= 85;
        }
        for (std::size_t i = 0; i <= count; ++i)
            put(group[i]);
        pending.clear();
    }
    out += "~>\n";
    column = 0;
}

// One page's image data: deflated, then ASCII85.
struct RasterJob::Encoder {
    z_stream zlib{};
    bool open = false;
    std::string pending; // deflated bytes not yet a whole ASCII85 group
    int column = 0;

    bool Start() {
        zlib = z_stream{};
        open = deflateInit(&zlib, Z_DEFAULT_COMPRESSION) == Z_OK;
        pending.clear();
        column = 0;
        return open;
    }
    void Stop() {
        if (open)
            deflateEnd(&zlib);
        open = false;
    }
    ~Encoder() { Stop(); }
};

RasterJob::RasterJob(sim::DriverSession& session, dsc::DscOutput& out)
    : session_(session), out_(out), encoder_(std::make_unique<Encoder>()) {
}

RasterJob::~RasterJob() = default;

bool RasterJob::Write(std::string_view bytes) {
    if (!failed_ && !bytes.empty() && !out_.Write(bytes, dsc::Origin::kJob))
        failed_ = true;
    return !failed_;
}

bool RasterJob::Begin() {
    // The bounding box is the largest page the driver offers; each page
    // gives its own.
    Write(Format(kHeader, 842, 1191));
    Write(session_.Inject(PSINJECT_COMMENTS));
    Write(kEndComments);
    Write(kBeginProlog);
    Write(session_.Inject(PSINJECT_BEGINPROLOG));
    Write(session_.Inject(PSINJECT_ENDPROLOG));
    Write(kEndProlog);
    Write(kBeginSetup);
    Write(session_.Inject(PSINJECT_BEGINSETUP));
    return Write(kEndSetup);
}

bool RasterJob::StartPage(const RasterPage& page) {
    page_ = page;
    ++pages_;
    if (pages_ > 1)
        session_.SendPage();
    session_.StartPage();
    const int w = static_cast<int>(page.widthPoints + 0.5);
    const int h = static_cast<int>(page.heightPoints + 0.5);
    Write(Format(kPageStart, pages_, pages_, w, h, w, h));
    Write(session_.Inject(PSINJECT_BEGINPAGESETUP));
    const bool rgb = page.colours == 3;
    const char* decode = rgb ? "[0 1 0 1 0 1]" : page.zeroIsWhite ? "[1 0]" : "[0 1]";
    const char* mask = rgb ? "[255 255 255]" : page.zeroIsWhite ? "[0]" : "[255]";
    Write(Format(kImage, rgb ? "/DeviceRGB" : "/DeviceGray", page.widthPoints, page.heightPoints, page.width,
                 page.height, decode, mask, page.width, page.height, page.height));
    if (!encoder_->Start())
        failed_ = true;
    return !failed_;
}

bool RasterJob::Flush(bool finish) {
    std::string encoded;
    unsigned char chunk[kChunk];
    int status = Z_OK;
    do {
        encoder_->zlib.next_out = chunk;
        encoder_->zlib.avail_out = sizeof chunk;
        status = deflate(&encoder_->zlib, finish ? Z_FINISH : Z_NO_FLUSH);
        encoder_->pending.append(reinterpret_cast<char*>(chunk), sizeof chunk - encoder_->zlib.avail_out);
    } while (encoder_->zlib.avail_out == 0 || (finish && status == Z_OK));
    Ascii85(encoder_->pending, finish, encoded, encoder_->column);
    return Write(encoded);
}

bool RasterJob::WriteLine(const std::uint8_t* line) {
    if (failed_ || !encoder_->open)
        return false;
    encoder_->zlib.next_in = const_cast<Bytef*>(line);
    encoder_->zlib.avail_in = page_.width * page_.colours;
    return Flush(false);
}

bool RasterJob::EndPage() {
    if (encoder_->open) {
        Flush(true);
        encoder_->Stop();
    }
    return Write(kPageEnd);
}

bool RasterJob::End(std::string* error) {
    if (pages_ > 0)
        session_.SendPage();
    Write(Format(kTrailer, pages_));
    session_.EndDoc();
    session_.End();
    if (failed_) {
        *error = "the printer stopped taking data";
        return false;
    }
    if (!session_.Log().faults.empty()) {
        *error = "the plug-in failed: " + session_.Log().faults.front();
        return false;
    }
    return true;
}

} // namespace klv::app
