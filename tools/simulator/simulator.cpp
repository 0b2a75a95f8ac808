#include "tools/simulator/simulator.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace klv::sim {

namespace {

constexpr DWORD kExpectedSignature = 0x4B4C564F;
constexpr DWORD kExpectedVersion = 2;
constexpr DWORD kDeviceMagic = 0x4B53494D; // "KSIM"
constexpr USHORT kSurfaceDevice = 1;       // STYPE_DEVICE

std::string Hex(HRESULT hr) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(hr));
    return text;
}

// Asks the plug-in to fill `out` (defaults, or `in` merged into it).
bool CallDevMode(IPrintOemPS* plugin, DWORD mode, std::vector<std::uint8_t>* in,
                 std::vector<std::uint8_t>* out, std::string* error) {
    OEMDMPARAM param{};
    param.cbSize = sizeof(param);
    param.pOEMDMIn = in != nullptr ? in->data() : nullptr;
    param.pOEMDMOut = out->data();
    param.cbBufSize = static_cast<DWORD>(out->size());
    const HRESULT hr = plugin->DevMode(mode, &param);
    if (FAILED(hr) && error != nullptr)
        *error = std::string("DevMode(") + (mode == OEMDM_MERGE ? "OEMDM_MERGE" : "OEMDM_DEFAULT") +
                 ") failed with " + Hex(hr);
    return SUCCEEDED(hr);
}

std::string Num(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", std::fabs(value) < 1e-9 ? 0.0 : value);
    return text;
}

// The DDI prototypes of the functions the simulator implements.
using FnStartDoc = BOOL (*)(SURFOBJ*, LPWSTR, DWORD);
using FnEndDoc = BOOL (*)(SURFOBJ*, FLONG);
using FnStartPage = BOOL (*)(SURFOBJ*);
using FnSendPage = BOOL (*)(SURFOBJ*);
using FnTextOut = BOOL (*)(SURFOBJ*, STROBJ*, FONTOBJ*, CLIPOBJ*, RECTL*, RECTL*, BRUSHOBJ*, BRUSHOBJ*,
                           POINTL*, MIX);
using FnBitBlt = BOOL (*)(SURFOBJ*, SURFOBJ*, SURFOBJ*, CLIPOBJ*, XLATEOBJ*, RECTL*, POINTL*, POINTL*,
                          BRUSHOBJ*, POINTL*, ROP4);
using FnRealizeBrush = BOOL (*)(BRUSHOBJ*, SURFOBJ*, SURFOBJ*, SURFOBJ*, XLATEOBJ*, ULONG);

// What the simulator's engine hands its own functions in place of the
// engine's string and brush objects. The plug-in only passes them on.
struct SimText {
    std::u16string text;
    POINTL origin; // baseline start, device pixels from the top left
};
struct SimBrush {
    std::uint8_t red, green, blue;
};

constexpr ROP4 kPatCopy = 0xF0F0;

} // namespace

// The DEVOBJ comes first so that a DEVOBJ pointer handed back by the
// plug-in (or found in a surface's dhpdev) leads to its record.
struct DeviceRecord {
    DEVOBJ devobj;
    DWORD magic;
    Simulator::Device* owner;
};

struct Simulator::Device {
    DeviceRecord record{};
    SURFOBJ surface{};
    IPrintOemPS* plugin = nullptr;
    const DRVENABLEDATA* hooks = nullptr;
    const Job* job = nullptr;
    JobResult* result = nullptr;
    GDIINFO gdi{};
    std::vector<std::uint8_t> devmode;
    double pointsPerPixel = 1;
    double pageWidthPoints = 0;
    double pageHeightPoints = 0;

    // State of the document being written.
    std::u16string startDocName;
    DWORD startDocJobId = 0;
    bool headerWritten = false;
    int pageNumber = 0;
    bool inCommand = false;
    DWORD currentPoint = 0;

    void Write(const std::string& text) { result->postscript += text; }
    void Fault(const std::string& what) { result->faults.push_back(what); }

    // Calls the plug-in at one injection point, then makes sure the next
    // line of the driver's own starts on a line of its own.
    void Inject(DWORD point) {
        ++result->commandCalls[point];
        result->commandOrder.push_back(point);
        const size_t before = result->postscript.size();
        inCommand = true;
        currentPoint = point;
        DWORD commandResult = 0xFFFFFFFF;
        const HRESULT hr = plugin->Command(&record.devobj, point, nullptr, 0, &commandResult);
        inCommand = false;
        if (FAILED(hr))
            Fault("Command(" + std::to_string(point) + ") returned " + Hex(hr));
        if (result->postscript.size() > before && result->postscript.back() != '\n')
            Write("\n");
    }

    PFN HookFor(ULONG index) const {
        if (hooks == nullptr || hooks->pdrvfn == nullptr)
            return nullptr;
        for (ULONG i = 0; i < hooks->c; ++i) {
            if (hooks->pdrvfn[i].iFunc == index)
                return hooks->pdrvfn[i].pfn;
        }
        return nullptr;
    }

    // The graphics engine's call of a DDI function: through the plug-in's
    // hook when it hooks the index, else straight to the driver.
    template <typename Fn, typename... Args> BOOL Engine(ULONG index, Fn own, Args... args) {
        if (PFN hook = HookFor(index)) {
            ++result->hookCalls[index];
            return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(hook))(args...);
        }
        return own(args...);
    }

    // Device pixels (from the top left of the printable area) to the
    // driver's page coordinates (from the bottom left).
    double FlipY(double y) const { return static_cast<double>(gdi.ulVertRes) - y; }

    void WriteHeader();
};

namespace {

// Finds the device behind a surface, checking that the surface is the one
// the simulator made for it.
Simulator::Device* DeviceOfSurface(SURFOBJ* surface, ULONG index) {
    if (surface == nullptr || surface->dhpdev == nullptr)
        return nullptr;
    auto* record = reinterpret_cast<DeviceRecord*>(surface->dhpdev);
    if (record->magic != kDeviceMagic || record->owner == nullptr)
        return nullptr;
    Simulator::Device* device = record->owner;
    ++device->result->ownCalls[index];
    if (surface != &device->surface)
        device->Fault("DDI " + std::to_string(index) + " received a surface that is not the device's");
    return device;
}

BOOL SimStartDoc(SURFOBJ* surface, LPWSTR docName, DWORD jobId) {
    Simulator::Device* d = DeviceOfSurface(surface, INDEX_DrvStartDoc);
    if (d == nullptr)
        return FALSE;
    d->startDocName = docName != nullptr ? std::u16string(docName) : std::u16string();
    d->startDocJobId = jobId;
    return TRUE;
}

BOOL SimStartPage(SURFOBJ* surface) {
    Simulator::Device* d = DeviceOfSurface(surface, INDEX_DrvStartPage);
    if (d == nullptr)
        return FALSE;
    if (!d->headerWritten)
        d->WriteHeader();
    ++d->pageNumber;
    const std::string n = std::to_string(d->pageNumber);
    d->Write("%%Page: " + n + " " + n + "\n%%BeginPageSetup\n");
    d->Inject(PSINJECT_BEGINPAGESETUP);
    // The page transformation: device pixels to points, origin at the
    // corner of the printable area.
    const double s = d->pointsPerPixel;
    const double tx = d->gdi.ptlPhysOffset.x * s;
    const double ty =
        d->pageHeightPoints -
        (static_cast<double>(d->gdi.ptlPhysOffset.y) + static_cast<double>(d->gdi.ulVertRes)) * s;
    d->Write("userdict /klvsim_pagesave save put\n"
             "KlvSimDriver begin\n"
             "userdict begin /mysetup [" +
             Num(s) + " 0 0 " + Num(s) + " " + Num(tx) + " " + Num(ty) +
             "] def end\n"
             "mysetup concat\n"
             "/Courier findfont " +
             Num(10 / s) +
             " scalefont setfont\n"
             "%%EndPageSetup\n");
    return TRUE;
}

BOOL SimSendPage(SURFOBJ* surface) {
    Simulator::Device* d = DeviceOfSurface(surface, INDEX_DrvSendPage);
    if (d == nullptr)
        return FALSE;
    d->Write("end\nuserdict /klvsim_pagesave get restore\nshowpage\n%%PageTrailer\n");
    return TRUE;
}

BOOL SimEndDoc(SURFOBJ* surface, FLONG) {
    Simulator::Device* d = DeviceOfSurface(surface, INDEX_DrvEndDoc);
    if (d == nullptr)
        return FALSE;
    if (!d->headerWritten)
        d->WriteHeader();
    d->Write("%%Trailer\n%%EOF\n");
    return TRUE;
}

BOOL SimTextOut(SURFOBJ* surface, STROBJ* string, FONTOBJ*, CLIPOBJ*, RECTL*, RECTL*, BRUSHOBJ*, BRUSHOBJ*,
                POINTL*, MIX) {
    Simulator::Device* d = DeviceOfSurface(surface, INDEX_DrvTextOut);
    if (d == nullptr || string == nullptr)
        return FALSE;
    const auto* text = reinterpret_cast<const SimText*>(string);
    d->Write(PsString(Utf16ToUtf8(text->text)) + " " + Num(text->origin.x) + " " +
             Num(d->FlipY(text->origin.y)) + " T\n");
    return TRUE;
}

BOOL SimBitBlt(SURFOBJ* target, SURFOBJ*, SURFOBJ*, CLIPOBJ*, XLATEOBJ*, RECTL* rect, POINTL*, POINTL*,
               BRUSHOBJ* brush, POINTL*, ROP4 rop) {
    Simulator::Device* d = DeviceOfSurface(target, INDEX_DrvBitBlt);
    if (d == nullptr || rect == nullptr || brush == nullptr)
        return FALSE;
    if (rop != kPatCopy) {
        d->Fault("DrvBitBlt with an unsupported raster operation");
        return FALSE;
    }
    const auto* colour = reinterpret_cast<const SimBrush*>(brush);
    const double width = static_cast<double>(rect->right) - rect->left;
    const double height = static_cast<double>(rect->bottom) - rect->top;
    d->Write(Num(rect->left) + " " + Num(d->FlipY(rect->bottom)) + " " + Num(width) + " " + Num(height) +
             " " + Num(colour->red / 255.0) + " " + Num(colour->green / 255.0) + " " +
             Num(colour->blue / 255.0) + " R\n");
    return TRUE;
}

// Realizing a brush writes nothing; the simulator's brushes are solid.
BOOL SimRealizeBrush(BRUSHOBJ*, SURFOBJ* target, SURFOBJ*, SURFOBJ*, XLATEOBJ*, ULONG) {
    DeviceOfSurface(target, INDEX_DrvRealizeBrush);
    return TRUE;
}

template <typename Fn> PFN AsPfn(Fn fn) {
    // Through void(*)(), the generic function pointer type, as the DDI tables do.
    return reinterpret_cast<PFN>(reinterpret_cast<void (*)()>(fn));
}

// The driver's own drawing functions, as it lists them for EnablePDEV.
DRVFN gDriverFunctions[] = {
    {INDEX_DrvStartDoc, AsPfn<FnStartDoc>(SimStartDoc)},
    {INDEX_DrvEndDoc, AsPfn<FnEndDoc>(SimEndDoc)},
    {INDEX_DrvStartPage, AsPfn<FnStartPage>(SimStartPage)},
    {INDEX_DrvSendPage, AsPfn<FnSendPage>(SimSendPage)},
    {INDEX_DrvTextOut, AsPfn<FnTextOut>(SimTextOut)},
    {INDEX_DrvBitBlt, AsPfn<FnBitBlt>(SimBitBlt)},
    {INDEX_DrvRealizeBrush, AsPfn<FnRealizeBrush>(SimRealizeBrush)},
};

// Physical page size in points, and the name of the size in the job.
struct PaperSize {
    Paper paper;
    const char* name;
    double width;
    double height;
};
constexpr PaperSize kPaperSizes[] = {
    {Paper::kLetter, "Letter", 612, 792},
    {Paper::kA4, "A4", 595.276, 841.89},
    {Paper::kLegal, "Legal", 612, 1008},
    {Paper::kA3, "A3", 841.89, 1190.55},
};

const PaperSize& SizeOf(Paper paper) {
    for (const PaperSize& size : kPaperSizes) {
        if (size.paper == paper)
            return size;
    }
    return kPaperSizes[0];
}

void PaperPoints(Paper paper, double* width, double* height) {
    *width = SizeOf(paper).width;
    *height = SizeOf(paper).height;
}

GDIINFO MakeGdiInfo(Paper paper, int dpi) {
    double w = 0, h = 0;
    PaperPoints(paper, &w, &h);
    GDIINFO gdi{};
    gdi.ulVersion = 0x5000;
    gdi.ulTechnology = 2; // DT_RASPRINTER
    gdi.ulLogPixelsX = gdi.ulLogPixelsY = static_cast<ULONG>(dpi);
    gdi.szlPhysSize.cx = static_cast<LONG>(std::lround(w / 72 * dpi));
    gdi.szlPhysSize.cy = static_cast<LONG>(std::lround(h / 72 * dpi));
    // A quarter inch of unprintable margin on every side.
    gdi.ptlPhysOffset.x = gdi.ptlPhysOffset.y = dpi / 4;
    gdi.ulHorzRes = static_cast<ULONG>(gdi.szlPhysSize.cx - 2 * gdi.ptlPhysOffset.x);
    gdi.ulVertRes = static_cast<ULONG>(gdi.szlPhysSize.cy - 2 * gdi.ptlPhysOffset.y);
    gdi.ulHorzSize = static_cast<ULONG>(gdi.ulHorzRes * 25.4 / dpi);
    gdi.ulVertSize = static_cast<ULONG>(gdi.ulVertRes * 25.4 / dpi);
    gdi.cBitsPixel = 1;
    gdi.cPlanes = 1;
    gdi.ulNumColors = 2;
    gdi.ulAspectX = gdi.ulAspectY = static_cast<ULONG>(dpi);
    gdi.ulAspectXY = static_cast<ULONG>(std::lround(dpi * std::sqrt(2.0)));
    gdi.ulDevicePelsDPI = static_cast<ULONG>(dpi);
    return gdi;
}

} // namespace

void Simulator::Device::WriteHeader() {
    headerWritten = true;
    const std::string width = Num(std::round(pageWidthPoints));
    const std::string height = Num(std::round(pageHeightPoints));
    const std::string paperName = SizeOf(job->paper).name;
    Write("%!PS-Adobe-3.0\n"
          "%%Title: " +
          PsString(Utf16ToUtf8(startDocName)) +
          "\n"
          "%%Creator: klvps driver simulator\n"
          "%%For: " +
          PsString(job->user) +
          "\n"
          "%%Pages: " +
          std::to_string(job->pages.size()) +
          "\n"
          "%%PageOrder: Ascend\n"
          "%%BoundingBox: 0 0 " +
          width + " " + height +
          "\n"
          "%%DocumentMedia: " +
          paperName + " " + Num(pageWidthPoints) + " " + Num(pageHeightPoints) +
          " 0 () ()\n"
          "%%LanguageLevel: 2\n");
    Inject(PSINJECT_COMMENTS);
    Write("%%EndComments\n%%BeginProlog\n");
    Inject(PSINJECT_BEGINPROLOG);
    Write("%%BeginResource: procset KlvSimDriver 1.0 0\n"
          "/KlvSimDriver 4 dict def\n"
          "KlvSimDriver begin\n"
          "/T { moveto 0 setgray show } bind def\n"
          "/R { setrgbcolor rectfill } bind def\n"
          "end\n"
          "%%EndResource\n");
    Inject(PSINJECT_ENDPROLOG);
    Write("%%EndProlog\n%%BeginSetup\n");
    Inject(PSINJECT_BEGINSETUP);
    Write(std::string("%%BeginFeature: *PageSize ") + paperName + "\n<< /PageSize [" + Num(pageWidthPoints) +
          " " + Num(pageHeightPoints) +
          "] >> setpagedevice\n"
          "%%EndFeature\n"
          "%%EndSetup\n");
}

// The driver's helper interface published to the plug-in: appends what
// the plug-in writes to the job being written.
class Simulator::DriverHelper final : public IPrintOemDriverPS {
public:
    LONG refCount = 1;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (ppv == nullptr)
            return E_INVALIDARG;
        if (SameGuid(riid, kIidUnknown) || SameGuid(riid, kIidPrintOemDriverPS)) {
            *ppv = static_cast<IPrintOemDriverPS*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++refCount); }
    ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--refCount); }

    HRESULT STDMETHODCALLTYPE DrvGetDriverSetting(PVOID, PCSTR, PVOID, DWORD, PDWORD needed,
                                                  PDWORD optionsReturned) override {
        if (needed != nullptr)
            *needed = 0;
        if (optionsReturned != nullptr)
            *optionsReturned = 0;
        return kNotImplemented;
    }

    HRESULT STDMETHODCALLTYPE DrvWriteSPBuf(PDEVOBJ devobj, PVOID buffer, DWORD size,
                                            DWORD* written) override {
        if (written != nullptr)
            *written = 0;
        auto* record = reinterpret_cast<DeviceRecord*>(devobj);
        if (record == nullptr || record->magic != kDeviceMagic || record->owner == nullptr)
            return E_INVALIDARG;
        Device* d = record->owner;
        if (buffer == nullptr && size != 0) {
            d->Fault("DrvWriteSPBuf with a null buffer");
            return E_INVALIDARG;
        }
        const DWORD point = d->inCommand ? d->currentPoint : 0;
        if (!d->inCommand)
            d->Fault("DrvWriteSPBuf outside an injection point");
        const std::string bytes(static_cast<const char*>(buffer), size);
        ++d->result->writeCalls[point];
        d->result->written[point] += bytes;
        d->Write(bytes);
        if (written != nullptr)
            *written = size;
        return S_OK;
    }

private:
    static constexpr HRESULT kNotImplemented = static_cast<HRESULT>(0x80004001L);
};

Simulator::Simulator() = default;

LONG Simulator::HelperReferencesHeld() const {
    return helper_ != nullptr ? helper_->refCount - 1 : 0;
}

Simulator::~Simulator() {
    Close();
}

bool Simulator::Open(const std::string& pluginPath, std::string* error) {
    auto fail = [&](const std::string& what) {
        if (error != nullptr)
            *error = what;
        Close();
        return false;
    };
    Close();
    library_ = std::make_unique<host::LoadedPlugin>(pluginPath);
    if (!library_->Ok())
        return fail("cannot load the plug-in " + pluginPath + ": " + library_->Error());
    closed_ = false;

    IClassFactory* factory = nullptr;
    HRESULT hr =
        library_->getClassObject(kClsidOemRender, kIidClassFactory, reinterpret_cast<void**>(&factory));
    if (FAILED(hr) || factory == nullptr)
        return fail("DllGetClassObject for the rendering plug-in class failed with " + Hex(hr));
    hr = factory->CreateInstance(nullptr, kIidPrintOemPS, reinterpret_cast<void**>(&plugin_));
    factory->Release();
    if (FAILED(hr) || plugin_ == nullptr) {
        plugin_ = nullptr;
        return fail("CreateInstance for IPrintOemPS failed with " + Hex(hr));
    }

    helper_ = std::make_unique<DriverHelper>();
    hr = plugin_->PublishDriverInterface(static_cast<IPrintOemDriverPS*>(helper_.get()));
    if (FAILED(hr))
        return fail("PublishDriverInterface failed with " + Hex(hr));

    DWORD needed = 0;
    hr = plugin_->GetInfo(OEMGI_GETSIGNATURE, &signature_, sizeof(signature_), &needed);
    if (FAILED(hr))
        return fail("GetInfo(signature) failed with " + Hex(hr));
    if (signature_ != kExpectedSignature)
        return fail("the plug-in's signature is " + Hex(static_cast<HRESULT>(signature_)) + ", not " +
                    Hex(static_cast<HRESULT>(kExpectedSignature)));
    hr = plugin_->GetInfo(OEMGI_GETVERSION, &version_, sizeof(version_), &needed);
    if (FAILED(hr))
        return fail("GetInfo(version) failed with " + Hex(hr));
    if (version_ != kExpectedVersion)
        return fail("the plug-in's version is " + std::to_string(version_) + ", not " +
                    std::to_string(kExpectedVersion));

    OEMDMPARAM param{};
    param.cbSize = sizeof(param);
    hr = plugin_->DevMode(OEMDM_SIZE, &param);
    if (FAILED(hr))
        return fail("DevMode(OEMDM_SIZE) failed with " + Hex(hr));
    if (param.cbBufSize < sizeof(OEM_DMEXTRAHEADER) || param.cbBufSize > 0x10000)
        return fail("the plug-in asks for a private device mode of " + std::to_string(param.cbBufSize) +
                    " bytes");
    devmodeSize_ = param.cbBufSize;

    hooks_ = DRVENABLEDATA{};
    hr = plugin_->EnableDriver(PRINTER_OEMINTF_VERSION, sizeof(hooks_), &hooks_);
    if (FAILED(hr))
        return fail("EnableDriver failed with " + Hex(hr));
    if (hooks_.c > 0 && hooks_.pdrvfn == nullptr)
        return fail("EnableDriver announced " + std::to_string(hooks_.c) + " hooks without a table");
    return true;
}

HRESULT Simulator::Close() {
    if (closed_)
        return library_ != nullptr && library_->Ok() ? library_->canUnloadNow() : S_OK;
    closed_ = true;
    if (plugin_ != nullptr) {
        plugin_->DisableDriver();
        plugin_->Release();
        plugin_ = nullptr;
    }
    hooks_ = DRVENABLEDATA{};
    return library_->canUnloadNow();
}

std::vector<std::uint8_t> Simulator::DefaultDevMode(std::string* error) {
    if (plugin_ == nullptr) {
        if (error != nullptr)
            *error = "the plug-in is not loaded";
        return {};
    }
    std::vector<std::uint8_t> block(devmodeSize_, 0);
    if (!CallDevMode(plugin_, OEMDM_DEFAULT, nullptr, &block, error))
        return {};
    return block;
}

std::vector<std::uint8_t> Simulator::MergeDevMode(const std::vector<std::uint8_t>& user, std::string* error) {
    if (user.size() != devmodeSize_) {
        if (error != nullptr)
            *error = "the device mode holds " + std::to_string(user.size()) + " bytes; the plug-in's has " +
                     std::to_string(devmodeSize_);
        return {};
    }
    std::vector<std::uint8_t> block = DefaultDevMode(error);
    if (block.empty())
        return {};
    std::vector<std::uint8_t> input = user;
    if (!CallDevMode(plugin_, OEMDM_MERGE, &input, &block, error))
        return {};
    return block;
}

JobResult Simulator::Run(const Job& job, const Progress& progress) {
    JobResult result;
    auto fail = [&](const std::string& what) {
        result.ok = false;
        result.error = what;
        return result;
    };
    if (plugin_ == nullptr)
        return fail("the plug-in is not loaded");
    if (job.dpi < 72 || job.dpi > 2400)
        return fail("resolution " + std::to_string(job.dpi) + " dpi is outside 72 to 2400");

    auto device = std::make_unique<Device>();
    Device& d = *device;
    d.plugin = plugin_;
    d.hooks = &hooks_;
    d.job = &job;
    d.result = &result;
    d.devmode = job.devmode ? MergeDevMode(*job.devmode, &result.error) : DefaultDevMode(&result.error);
    if (d.devmode.empty())
        return fail(result.error);

    host::JobQueue queue;
    for (const host::QueuedJob& other : job.otherJobs)
        queue.Add(other);
    queue.Add(host::QueuedJob{job.jobId, Utf8ToUtf16(job.user), Utf8ToUtf16(job.document)});
    for (const host::QueuedJob& other : job.laterJobs)
        queue.Add(other);

    d.gdi = MakeGdiInfo(job.paper, job.dpi);
    PaperPoints(job.paper, &d.pageWidthPoints, &d.pageHeightPoints);
    d.pointsPerPixel = 72.0 / job.dpi;
    d.record.magic = kDeviceMagic;
    d.record.owner = &d;
    DEVOBJ& devobj = d.record.devobj;
    devobj.dwSize = sizeof(DEVOBJ);
    devobj.hPrinter = queue.Handle();
    devobj.hOEM = library_->Module();
    devobj.pOEMDM = d.devmode.data();

    DRVENABLEDATA driverFunctions{PRINTER_OEMINTF_VERSION, static_cast<ULONG>(std::size(gDriverFunctions)),
                                  gDriverFunctions};
    std::u16string printerName = u"KLVPS Simulator";
    PDEVOEM pdevOem = nullptr;
    result.enablePdev = plugin_->EnablePDEV(&devobj, printerName.data(), 0, nullptr, sizeof(GDIINFO), &d.gdi,
                                            0, nullptr, &driverFunctions, &pdevOem);
    result.gdiInfo = d.gdi;
    if (FAILED(result.enablePdev))
        return fail("EnablePDEV failed with " + Hex(result.enablePdev));
    devobj.pdevOEM = pdevOem;

    d.surface.dhpdev = reinterpret_cast<DHPDEV>(&devobj);
    d.surface.sizlBitmap = SIZEL{static_cast<LONG>(d.gdi.ulHorzRes), static_cast<LONG>(d.gdi.ulVertRes)};
    d.surface.iType = kSurfaceDevice;
    SURFOBJ* surface = &d.surface;

    // The engine starts the document with the spooler's name and job id.
    std::u16string docName = Utf8ToUtf16(job.document);
    if (!d.Engine(INDEX_DrvStartDoc, SimStartDoc, surface, docName.data(), job.jobId))
        d.Fault("DrvStartDoc failed");
    if (d.startDocJobId != job.jobId)
        d.Fault("DrvStartDoc reached the driver with job id " + std::to_string(d.startDocJobId));

    const int pages = static_cast<int>(job.pages.size());
    const LONG pixelsPerPoint10 = static_cast<LONG>(std::lround(job.dpi * 12.0 / 72)); // 12 pt lines
    const LONG margin = job.dpi / 2;
    SimBrush black{0, 0, 0};
    for (int p = 0; p < pages; ++p) {
        const Page& page = job.pages[static_cast<size_t>(p)];
        if (!d.Engine(INDEX_DrvStartPage, SimStartPage, surface))
            d.Fault("DrvStartPage failed on page " + std::to_string(p + 1));
        for (const Box& box : page.boxes) {
            SimBrush colour{box.red, box.green, box.blue};
            const double scale = job.dpi / 72.0;
            RECTL rect{static_cast<LONG>(std::lround(box.left * scale)),
                       static_cast<LONG>(std::lround(box.top * scale)),
                       static_cast<LONG>(std::lround(box.right * scale)),
                       static_cast<LONG>(std::lround(box.bottom * scale))};
            // The engine realizes a brush before it uses it.
            d.Engine(INDEX_DrvRealizeBrush, SimRealizeBrush, reinterpret_cast<BRUSHOBJ*>(&colour), surface,
                     static_cast<SURFOBJ*>(nullptr), static_cast<SURFOBJ*>(nullptr),
                     static_cast<XLATEOBJ*>(nullptr), ULONG{0});
            if (!d.Engine(INDEX_DrvBitBlt, SimBitBlt, surface, static_cast<SURFOBJ*>(nullptr),
                          static_cast<SURFOBJ*>(nullptr), static_cast<CLIPOBJ*>(nullptr),
                          static_cast<XLATEOBJ*>(nullptr), &rect, static_cast<POINTL*>(nullptr),
                          static_cast<POINTL*>(nullptr), reinterpret_cast<BRUSHOBJ*>(&colour),
                          static_cast<POINTL*>(nullptr), kPatCopy))
                d.Fault("DrvBitBlt failed on page " + std::to_string(p + 1));
        }
        for (size_t i = 0; i < page.lines.size(); ++i) {
            SimText text{Utf8ToUtf16(page.lines[i]),
                         POINTL{margin, margin + static_cast<LONG>(i + 1) * pixelsPerPoint10}};
            RECTL bounds{margin, text.origin.y - pixelsPerPoint10,
                         static_cast<LONG>(d.gdi.ulHorzRes) - margin, text.origin.y};
            POINTL origin = text.origin;
            if (!d.Engine(INDEX_DrvTextOut, SimTextOut, surface, reinterpret_cast<STROBJ*>(&text),
                          static_cast<FONTOBJ*>(nullptr), static_cast<CLIPOBJ*>(nullptr),
                          static_cast<RECTL*>(nullptr), &bounds, reinterpret_cast<BRUSHOBJ*>(&black),
                          static_cast<BRUSHOBJ*>(nullptr), &origin, MIX{0x0D0D}))
                d.Fault("DrvTextOut failed on page " + std::to_string(p + 1));
        }
        if (!d.Engine(INDEX_DrvSendPage, SimSendPage, surface))
            d.Fault("DrvSendPage failed on page " + std::to_string(p + 1));
        if (progress)
            progress(p + 1, pages);
    }
    if (!d.Engine(INDEX_DrvEndDoc, SimEndDoc, surface, FLONG{0}))
        d.Fault("DrvEndDoc failed");

    const HRESULT disabled = plugin_->DisablePDEV(&devobj);
    if (FAILED(disabled))
        d.Fault("DisablePDEV failed with " + Hex(disabled));
    result.devmodeAfterJob = d.devmode;
    if (!result.faults.empty())
        return fail(result.faults.front());
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
