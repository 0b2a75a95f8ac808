#include "programs/printer-app/driver.h"

#include "libraries/settings/settings_table.h"
#include "programs/printer-app/device_output.h"
#include "programs/printer-app/ipp_settings.h"
#include "programs/printer-app/raster_job.h"
#include "programs/printer-app/serve_job.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string_view>

namespace klv::app {

namespace {

struct Model {
    const char* name;
    const char* description;
    bool colour;
    bool duplex;
};

constexpr Model kModels[] = {
    {"klvps-ps", "klvps PostScript printer", false, false},
    {"klvps-ps-duplex", "klvps PostScript printer, duplex", false, true},
    {"klvps-ps-color", "klvps PostScript printer, colour", true, false},
    {"klvps-ps-color-duplex", "klvps PostScript printer, colour, duplex", true, true},
};

// What clients may send. The application turns these into PostScript
// itself (its DSC pass serves them to the plug-in)...
constexpr std::string_view kConvertedFormats[] = {"application/pdf", "text/plain"};
// ...and PAPPL hands these over as PostScript (the printer's own format),
// as raster lines, or typed by their first bytes (octet-stream).
constexpr std::string_view kPapplFormats[] = {
    "application/postscript",  "image/pwg-raster", "image/urf", "image/jpeg", "image/png",
    "application/octet-stream"};

constexpr const char* kDeviceId = "MFG:klvps;MDL:PostScript;CMD:POSTSCRIPT;";

struct Media {
    const char* pwgName;
    sim::Paper paper;
};

constexpr Media kMedia[] = {
    {"na_letter_8.5x11in", sim::Paper::kLetter},
    {"na_legal_8.5x14in", sim::Paper::kLegal},
    {"iso_a4_210x297mm", sim::Paper::kA4},
    {"iso_a3_297x420mm", sim::Paper::kA3},
};

// A sixth of an inch on every side, in hundredths of millimetres: what a
// PostScript printer's imageable area usually leaves.
constexpr int kMargin = 423;
constexpr int kResolutions[] = {300, 600};

sim::Paper PaperNamed(const char* pwgName) {
    for (const Media& m : kMedia) {
        if (std::strcmp(m.pwgName, pwgName) == 0)
            return m.paper;
    }
    return sim::Paper::kLetter;
}

pappl_media_col_t MediaCol(const char* pwgName) {
    pappl_media_col_t col{};
    const pwg_media_t* pwg = pwgMediaForPWG(pwgName);
    std::strncpy(col.size_name, pwgName, sizeof col.size_name - 1);
    col.size_width = pwg->width;
    col.size_length = pwg->length;
    col.bottom_margin = col.top_margin = col.left_margin = col.right_margin = kMargin;
    std::strncpy(col.source, "auto", sizeof col.source - 1);
    std::strncpy(col.type, "stationery", sizeof col.type - 1);
    return col;
}

ipp_tag_t TextTag(const settings::Setting& s) {
    return std::string_view(s.ippSyntax).starts_with("name") ? IPP_TAG_NAME : IPP_TAG_TEXT;
}

// Each setting's -supported and -default. Integers and switches say what
// they accept; texts have no -supported, which PAPPL's printing-defaults
// page shows as a text field.
void AddSettingAttributes(ipp_t* attrs) {
    const std::vector<std::uint8_t>& block = Config().defaultBlock;
    for (const settings::Setting& s : settings::kSettings) {
        const std::string supported = std::string(s.ippAttribute) + "-supported";
        const std::string byDefault = std::string(s.ippAttribute) + "-default";
        const std::string value = ValueText(block, s);
        switch (s.kind) {
        case settings::Kind::kInteger:
            ippAddRange(attrs, IPP_TAG_PRINTER, supported.c_str(), static_cast<int>(s.min),
                        static_cast<int>(s.max));
            ippAddInteger(attrs, IPP_TAG_PRINTER, IPP_TAG_INTEGER, byDefault.c_str(), std::stoi(value));
            break;
        case settings::Kind::kSwitch:
            ippAddBoolean(attrs, IPP_TAG_PRINTER, supported.c_str(), 1);
            ippAddBoolean(attrs, IPP_TAG_PRINTER, byDefault.c_str(), value == "true");
            break;
        default:
            ippAddString(attrs, IPP_TAG_PRINTER, TextTag(s), byDefault.c_str(), nullptr, value.c_str());
            break;
        }
    }
    ippAddInteger(attrs, IPP_TAG_PRINTER, IPP_TAG_INTEGER, "job-password-supported", kJobPasswordMax);
    ippAddString(attrs, IPP_TAG_PRINTER, IPP_CONST_TAG(IPP_TAG_KEYWORD), "job-password-encryption-supported",
                 nullptr, kJobPasswordEncryption);
}

std::string ValueOf(ipp_attribute_t* attr) {
    if (ippGetValueTag(attr) == IPP_TAG_BOOLEAN)
        return ippGetBoolean(attr, 0) ? "true" : "false";
    if (ippGetValueTag(attr) == IPP_TAG_INTEGER)
        return std::to_string(ippGetInteger(attr, 0));
    const char* text = ippGetString(attr, 0, nullptr);
    return text != nullptr ? text : "";
}

std::string StringValue(ipp_attribute_t* attr) {
    if (attr == nullptr)
        return {};
    if (ippGetValueTag(attr) == IPP_TAG_STRING) {
        int length = 0;
        const void* bytes = ippGetOctetString(attr, 0, &length);
        return std::string(static_cast<const char*>(bytes), static_cast<std::size_t>(length));
    }
    const char* text = ippGetString(attr, 0, nullptr);
    return text != nullptr ? text : "";
}

// The job's device mode: the plug-in's defaults with the job's settings
// over them. False with the reason in the job's message when a value is
// refused (a printer default set since the job was accepted).
bool JobBlock(pappl_job_t* job, std::vector<std::uint8_t>* block) {
    const std::optional<AttributeRefusal> refusal = BuildJobBlock(
        papplJobGetPrinter(job), [job](const char* name) { return papplJobGetAttribute(job, name); }, block);
    if (refusal) {
        papplJobSetMessage(job, "%s", refusal->message.c_str());
        papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "%s", refusal->message.c_str());
        return false;
    }
    return true;
}

// One job at a time on a printer's device: PAPPL 1.3 can start a
// printer's next job before the last one has finished writing, and two
// jobs must not interleave on one connection.
std::unique_lock<std::mutex> LockDevice(pappl_job_t* job) {
    static std::mutex guard;
    static std::map<pappl_printer_t*, std::mutex> devices;
    std::mutex* device = nullptr;
    {
        const std::lock_guard<std::mutex> lock(guard);
        device = &devices[papplJobGetPrinter(job)];
    }
    return std::unique_lock<std::mutex>(*device);
}

// What the spooler and the device tell the plug-in about the job: the IPP
// job's user, title and id, its paper and resolution, and its settings.
bool SetupOf(pappl_job_t* job, const pappl_pr_options_t* options, sim::JobSetup* setup) {
    const char* user = papplJobGetUsername(job);
    const char* title = papplJobGetName(job);
    setup->user = user != nullptr ? user : "";
    setup->document = title != nullptr ? title : "";
    setup->jobId = static_cast<DWORD>(papplJobGetID(job));
    setup->paper = PaperNamed(options->media.size_name);
    if (options->printer_resolution[0] > 0)
        setup->dpi = options->printer_resolution[0];
    std::vector<std::uint8_t> block;
    if (!JobBlock(job, &block))
        return false;
    setup->devmode = std::move(block);
    return true;
}

bool Serve(pappl_job_t* job, const pappl_pr_options_t* options, pappl_device_t* device, const char* format) {
    ServedJob served;
    served.document = papplJobGetFilename(job);
    served.format = format;
    served.printer = papplPrinterGetName(papplJobGetPrinter(job));
    if (!SetupOf(job, options, &served.setup))
        return false;
    served.cancelled = [job] { return papplJobIsCanceled(job); };

    papplLogJob(job, PAPPL_LOGLEVEL_INFO, "Serving %s to the plug-in for %s", format,
                served.setup.user.c_str());
    const std::unique_lock<std::mutex> lock = LockDevice(job);
    DeviceOutput out(device, served.cancelled);
    const ServeResult result = ServeJob(*Config().simulator, served, out);
    papplDeviceFlush(device);
    if (result.pages > 0)
        papplJobSetImpressionsCompleted(job, result.pages);
    if (!result.ok) {
        papplJobSetMessage(job, "%s", result.error.c_str());
        papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "%s", result.error.c_str());
        return false;
    }
    papplLogJob(job, PAPPL_LOGLEVEL_INFO, "Served %d pages", result.pages);
    return true;
}

bool PrintFile(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t* device) {
    return Serve(job, options, device, papplJobGetFormat(job));
}

// PDF and text: PAPPL hands the job over with the device, and the print
// options are gathered here as for a PostScript job.
bool ConvertToPostScript(pappl_job_t* job, pappl_device_t* device, void* /*context*/) {
    pappl_pr_options_t* options = papplJobCreatePrintOptions(job, 0, true);
    const bool ok = Serve(job, options, device, papplJobGetFormat(job));
    papplJobDeletePrintOptions(options);
    return ok;
}

// A raster job's state between PAPPL's calls: the plug-in, its device's
// life and the PostScript being written.
struct RasterState {
    explicit RasterState(pappl_device_t* device) : out(device) {}
    std::unique_lock<std::mutex> device;
    DeviceOutput out;
    std::unique_ptr<sim::DriverSession> session;
    std::unique_ptr<RasterJob> writer;
};

RasterState* StateOf(pappl_job_t* job) {
    return static_cast<RasterState*>(papplJobGetData(job));
}

bool Fail(pappl_job_t* job, const std::string& why) {
    papplJobSetMessage(job, "%s", why.c_str());
    papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "%s", why.c_str());
    return false;
}

bool RasterStartJob(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t* device) {
    sim::JobSetup setup;
    if (!SetupOf(job, options, &setup))
        return false;
    auto state = std::make_unique<RasterState>(device);
    std::string error;
    state->device = LockDevice(job);
    // The watermark's variables expanded for this job, as the job library
    // does for every other format.
    ServedJob served;
    served.printer = papplPrinterGetName(papplJobGetPrinter(job));
    served.setup = setup;
    klv::job::JobOutcome outcome;
    if (std::optional<std::vector<std::uint8_t>> block =
            klv::job::BlockFor(*Config().simulator, JobDataFor(served), &outcome))
        setup.devmode = std::move(block);
    else if (!outcome.ok())
        return Fail(job, outcome.message);
    state->session = std::make_unique<sim::DriverSession>(*Config().simulator);
    state->session->KeepLogText(false);
    if (!state->session->Begin(setup, nullptr, &error))
        return Fail(job, error);
    state->session->StartDoc();
    state->writer = std::make_unique<RasterJob>(*state->session, state->out);
    papplLogJob(job, PAPPL_LOGLEVEL_INFO, "Serving %s as PostScript to the plug-in for %s",
                papplJobGetFormat(job), setup.user.c_str());
    const bool ok = state->writer->Begin();
    papplJobSetData(job, state.release());
    return ok;
}

bool RasterStartPage(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t* /*device*/,
                     unsigned /*page*/) {
    RasterState* state = StateOf(job);
    if (state == nullptr)
        return false;
    const auto& header = options->header;
    RasterPage page;
    page.width = header.cupsWidth;
    page.height = header.cupsHeight;
    page.colours = header.cupsNumColors == 3 ? 3 : 1;
    page.zeroIsWhite = header.cupsColorSpace == CUPS_CSPACE_K;
    page.widthPoints = header.cupsPageSize[0] > 0 ? header.cupsPageSize[0] : header.PageSize[0];
    page.heightPoints = header.cupsPageSize[1] > 0 ? header.cupsPageSize[1] : header.PageSize[1];
    return state->writer->StartPage(page);
}

bool RasterWriteLine(pappl_job_t* job, pappl_pr_options_t* /*options*/, pappl_device_t* /*device*/,
                     unsigned /*y*/, const unsigned char* line) {
    RasterState* state = StateOf(job);
    return state != nullptr && !papplJobIsCanceled(job) && state->writer->WriteLine(line);
}

bool RasterEndPage(pappl_job_t* job, pappl_pr_options_t* /*options*/, pappl_device_t* /*device*/,
                   unsigned /*page*/) {
    RasterState* state = StateOf(job);
    if (state == nullptr)
        return false;
    const bool ok = state->writer->EndPage();
    papplJobSetImpressionsCompleted(job, 1);
    return ok;
}

bool RasterEndJob(pappl_job_t* job, pappl_pr_options_t* /*options*/, pappl_device_t* device) {
    std::unique_ptr<RasterState> state(StateOf(job));
    papplJobSetData(job, nullptr);
    if (state == nullptr)
        return false;
    std::string error;
    const bool ok = state->writer->End(&error);
    papplDeviceFlush(device);
    if (!ok)
        return Fail(job, papplJobIsCanceled(job) ? "cancelled" : error);
    papplLogJob(job, PAPPL_LOGLEVEL_INFO, "Served %d pages", state->writer->Pages());
    return true;
}

} // namespace

AppConfig& Config() {
    static AppConfig config;
    return config;
}

std::optional<AttributeRefusal> BuildJobBlock(pappl_printer_t* printer, const FindAttribute& find,
                                              std::vector<std::uint8_t>* block) {
    // The printer's defaults, then what the job was sent with. (PAPPL 1.3's
    // print options look for the defaults among the job's own attributes,
    // where they never are.)
    AttributeValues values;
    ipp_t* defaults = papplPrinterGetDriverAttributes(printer);
    for (const settings::Setting& s : settings::kSettings) {
        const std::string name = std::string(s.ippAttribute) + "-default";
        if (ipp_attribute_t* attr = ippFindAttribute(defaults, name.c_str(), IPP_TAG_ZERO))
            values.emplace_back(s.ippAttribute, ValueOf(attr));
    }
    ippDelete(defaults);
    for (const settings::Setting& s : settings::kSettings) {
        if (ipp_attribute_t* attr = find(s.ippAttribute))
            values.emplace_back(s.ippAttribute, ValueOf(attr));
    }
    *block = Config().defaultBlock;
    std::optional<AttributeRefusal> refusal = ApplyAttributes(*block, values);
    if (ipp_attribute_t* password = find("job-password"); !refusal && password != nullptr)
        refusal =
            ApplyJobPassword(*block, StringValue(password), StringValue(find("job-password-encryption")));
    return refusal;
}

std::vector<pappl_pr_driver_t>& Drivers() {
    static std::vector<pappl_pr_driver_t> drivers = [] {
        std::vector<pappl_pr_driver_t> list;
        for (const Model& m : kModels)
            list.push_back({m.name, m.description, kDeviceId, nullptr});
        return list;
    }();
    return drivers;
}

bool DriverCallback(pappl_system_t* /*system*/, const char* driverName, const char* /*deviceUri*/,
                    const char* /*deviceId*/, pappl_pr_driver_data_t* data, ipp_t** attrs,
                    void* /*context*/) {
    const Model* model = nullptr;
    for (const Model& m : kModels) {
        if (std::strcmp(m.name, driverName) == 0)
            model = &m;
    }
    if (model == nullptr)
        return false;

    data->printfile_cb = PrintFile;
    data->rstartjob_cb = RasterStartJob;
    data->rstartpage_cb = RasterStartPage;
    data->rwriteline_cb = RasterWriteLine;
    data->rendpage_cb = RasterEndPage;
    data->rendjob_cb = RasterEndJob;
    data->format = "application/postscript";
    std::strncpy(data->make_and_model, model->description, sizeof data->make_and_model - 1);
    data->ppm = 20;
    data->ppm_color = model->colour ? 20 : 0;
    data->kind = PAPPL_KIND_DOCUMENT;
    data->orient_default = IPP_ORIENT_PORTRAIT;
    data->color_supported = model->colour
                                ? PAPPL_COLOR_MODE_AUTO | PAPPL_COLOR_MODE_COLOR | PAPPL_COLOR_MODE_MONOCHROME
                                : PAPPL_COLOR_MODE_MONOCHROME;
    data->color_default = model->colour ? PAPPL_COLOR_MODE_AUTO : PAPPL_COLOR_MODE_MONOCHROME;
    data->content_default = PAPPL_CONTENT_AUTO;
    data->quality_default = IPP_QUALITY_NORMAL;
    data->scaling_default = PAPPL_SCALING_AUTO;
    data->raster_types = PAPPL_PWG_RASTER_TYPE_BLACK_8 | PAPPL_PWG_RASTER_TYPE_SGRAY_8 |
                         (model->colour ? PAPPL_PWG_RASTER_TYPE_SRGB_8 : 0);
    data->duplex = model->duplex ? PAPPL_DUPLEX_NORMAL : PAPPL_DUPLEX_NONE;
    data->sides_supported = PAPPL_SIDES_ONE_SIDED;
    if (model->duplex)
        data->sides_supported |= PAPPL_SIDES_TWO_SIDED_LONG_EDGE | PAPPL_SIDES_TWO_SIDED_SHORT_EDGE;
    data->sides_default = PAPPL_SIDES_ONE_SIDED;

    data->num_resolution = 0;
    for (int dpi : kResolutions) {
        data->x_resolution[data->num_resolution] = dpi;
        data->y_resolution[data->num_resolution] = dpi;
        ++data->num_resolution;
    }
    data->x_default = data->y_default = 600;

    data->left_right = data->bottom_top = kMargin;
    data->num_media = 0;
    for (const Media& m : kMedia)
        data->media[data->num_media++] = m.pwgName;
    data->num_source = 1;
    data->source[0] = "auto";
    data->media_ready[0] = MediaCol(kMedia[0].pwgName);
    data->media_default = data->media_ready[0];
    data->num_type = 1;
    data->type[0] = "stationery";

    data->num_vendor = 0;
    for (const settings::Setting& s : settings::kSettings)
        data->vendor[data->num_vendor++] = s.ippAttribute;

    *attrs = ippNew();
    AddSettingAttributes(*attrs);
    // What IPP Everywhere clients ask of every printer, and PAPPL 1.3 leaves
    // to the driver: the printer chooses the rendering intent, a raster
    // back side comes as it is, and there are no preferred attributes.
    ippAddString(*attrs, IPP_TAG_PRINTER, IPP_CONST_TAG(IPP_TAG_KEYWORD), "print-rendering-intent-default",
                 nullptr, "auto");
    ippAddString(*attrs, IPP_TAG_PRINTER, IPP_CONST_TAG(IPP_TAG_KEYWORD), "print-rendering-intent-supported",
                 nullptr, "auto");
    ippAddBoolean(*attrs, IPP_TAG_PRINTER, "preferred-attributes-supported", 0);
    if (!model->duplex)
        ippAddString(*attrs, IPP_TAG_PRINTER, IPP_CONST_TAG(IPP_TAG_KEYWORD),
                     "pwg-raster-document-sheet-back", nullptr, "normal");
    return true;
}

const char* AutoAddCallback(const char* /*deviceInfo*/, const char* /*deviceUri*/, const char* deviceId,
                            void* /*context*/) {
    if (deviceId == nullptr)
        return nullptr;
    const std::string_view id = deviceId;
    if (id.find("POSTSCRIPT") != std::string_view::npos || id.find("PostScript") != std::string_view::npos)
        return kModels[0].name;
    return nullptr;
}

void AddFormats(pappl_system_t* system) {
    for (std::string_view format : kConvertedFormats)
        papplSystemAddMIMEFilter(system, format.data(), "application/postscript", ConvertToPostScript,
                                 nullptr);
}

bool CanPrint(std::string_view format) {
    return std::find(std::begin(kConvertedFormats), std::end(kConvertedFormats), format) !=
               std::end(kConvertedFormats) ||
           std::find(std::begin(kPapplFormats), std::end(kPapplFormats), format) != std::end(kPapplFormats);
}

} // namespace klv::app
