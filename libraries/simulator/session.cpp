// A device's life with the plug-in: the device mode, the spooler's queue,
// EnablePDEV, the injection points and DisablePDEV.
#include "libraries/simulator/session_internal.h"

namespace klv::sim {

DriverSession::DriverSession(Simulator& simulator)
    : simulator_(simulator), state_(std::make_unique<State>()) {
}

DriverSession::~DriverSession() {
    if (state_->enabled)
        End();
}

bool DriverSession::Begin(const JobSetup& setup, DriverFunctions* driver, std::string* error) {
    auto fail = [&](const std::string& what) {
        if (error != nullptr)
            *error = what;
        return false;
    };
    if (state_->enabled)
        End();
    state_ = std::make_unique<State>();
    State& s = *state_;
    s.keepLogText = keepLogText_;
    s.setup = setup;
    s.driver = driver;
    if (simulator_.plugin_ == nullptr)
        return fail("the plug-in is not loaded");
    s.trace.emplace(*simulator_.library_, &s.log.trace);
    if (setup.dpi < 72 || setup.dpi > 2400)
        return fail("resolution " + std::to_string(setup.dpi) + " dpi is outside 72 to 2400");

    std::string devmodeError;
    s.devmode = setup.devmode ? simulator_.MergeDevMode(*setup.devmode, &devmodeError)
                              : simulator_.DefaultDevMode(&devmodeError);
    if (s.devmode.empty())
        return fail(devmodeError);

    std::string queueError;
    for (const platform::QueuedJob& other : setup.otherJobs)
        if (!s.queue.Add(other, &queueError))
            return fail(queueError);
    if (!s.queue.Add(platform::QueuedJob{setup.jobId, support::Utf8ToUtf16(setup.user), support::Utf8ToUtf16(setup.document)},
                     &queueError))
        return fail(queueError);
    for (const platform::QueuedJob& later : setup.laterJobs)
        if (!s.queue.Add(later, &queueError))
            return fail(queueError);

    s.plugin = simulator_.plugin_;
    s.hooks = &simulator_.hooks_;
    s.gdi = MakeGdiInfo(setup.paper, setup.dpi);
    PaperPoints(setup.paper, &s.pageWidthPoints, &s.pageHeightPoints);
    s.pointsPerPixel = 72.0 / setup.dpi;
    s.record.magic = kDeviceMagic;
    s.record.owner = &s;
    DEVOBJ& devobj = s.record.devobj;
    devobj.dwSize = sizeof(DEVOBJ);
    devobj.hPrinter = s.queue.Handle();
    devobj.hOEM = simulator_.library_->Module();
    devobj.pOEMDM = s.devmode.data();

    DRVENABLEDATA driverFunctions = DriverFunctionTable();
    std::u16string printerName = u"KLVPS Simulator";
    PDEVOEM pdevOem = nullptr;
    s.log.enablePdev = s.plugin->EnablePDEV(&devobj, WideUnits(printerName), 0, nullptr, sizeof(GDIINFO),
                                            &s.gdi, 0, nullptr, &driverFunctions, &pdevOem);
    s.log.gdiInfo = s.gdi;
    s.LogCall("EnablePDEV -> " + Hex(s.log.enablePdev));
    if (FAILED(s.log.enablePdev))
        return fail("EnablePDEV failed with " + Hex(s.log.enablePdev));
    devobj.pdevOEM = pdevOem;
    s.enabled = true;

    s.surface.dhpdev = reinterpret_cast<DHPDEV>(&devobj);
    s.surface.sizlBitmap = SIZEL{static_cast<LONG>(s.gdi.ulHorzRes), static_cast<LONG>(s.gdi.ulVertRes)};
    s.surface.iType = STYPE_DEVICE;
    return true;
}

std::string DriverSession::Inject(DWORD point) {
    if (!state_->enabled)
        return {};
    State& s = *state_;
    ++s.log.commandCalls[point];
    if (s.keepLogText)
        s.log.commandOrder.push_back(point);
    s.inCommand = true;
    s.currentPoint = point;
    s.commandOutput.clear();
    DWORD commandResult = 0xFFFFFFFF;
    const HRESULT hr = s.plugin->Command(&s.record.devobj, point, nullptr, 0, &commandResult);
    s.inCommand = false;
    s.LogCall("Command(" + std::to_string(point) + ") -> " + Hex(hr) + ", " +
              std::to_string(s.commandOutput.size()) + " bytes written");
    if (FAILED(hr))
        s.Fault("Command(" + std::to_string(point) + ") returned " + Hex(hr));
    return std::move(s.commandOutput);
}

bool DriverSession::End() {
    if (!state_->enabled) {
        Fault("DisablePDEV without an enabled device");
        return false;
    }
    State& s = *state_;
    s.enabled = false;
    const HRESULT disabled = s.plugin->DisablePDEV(&s.record.devobj);
    s.LogCall("DisablePDEV -> " + Hex(disabled));
    if (FAILED(disabled))
        s.Fault("DisablePDEV failed with " + Hex(disabled));
    s.log.devmodeAfterJob = s.devmode;
    s.trace.reset();
    return SUCCEEDED(disabled);
}

const JobSetup& DriverSession::Setup() const {
    return state_->setup;
}
const GDIINFO& DriverSession::Gdi() const {
    return state_->gdi;
}
double DriverSession::PointsPerPixel() const {
    return state_->pointsPerPixel;
}
double DriverSession::PageWidthPoints() const {
    return state_->pageWidthPoints;
}
double DriverSession::PageHeightPoints() const {
    return state_->pageHeightPoints;
}
const std::u16string& DriverSession::StartDocName() const {
    return state_->startDocName;
}
DWORD DriverSession::StartDocJobId() const {
    return state_->startDocJobId;
}

const SessionLog& DriverSession::Log() const {
    return state_->log;
}

void DriverSession::Fault(const std::string& what) {
    state_->Fault(what);
}

} // namespace klv::sim
