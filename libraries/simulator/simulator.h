// File: libraries/simulator/simulator.h
//
// A stand-in for the PostScript printer driver: loads the plug-in library
// the way the driver loads the DLL, drives it through IPrintOemPS and
// writes whole DSC-conforming PostScript jobs, calling the plug-in at each
// injection point and drawing through the plug-in's drawing hooks.
//
// Example:
//
//   klv::sim::Simulator sim;
//   std::string error;
//   if (!sim.Open("build/host/module/libklvps.so", &error)) ...
//   klv::sim::Job job = klv::sim::SampleJob(2, {"Hello"});
//   job.user = "alice";
//   const klv::sim::JobResult result = sim.Run(job);
//   // result.postscript is the job; result.written what the plug-in wrote.
//   sim.Close();
//
// The rooms behind this header:
//   plugin_loader.cpp     the library, the plug-in object, its device modes
//   driver_helper.cpp     IPrintOemDriverPS, where the plug-in's writes arrive
//   session.cpp           DriverSession: EnablePDEV, injection points, DisablePDEV
//   engine.cpp            the engine's drawing calls through the plug-in's hooks
//   driver_functions.cpp  the driver's own drawing functions (DDI prototypes)
//   job_writer.cpp        the DSC job and its PostScript templates
//   run.cpp               a job's pages drawn through a session
//   text.cpp              UTF-8/UTF-16, PostScript strings, atomic files
#pragma once

#include "libraries/support/utf.h"

#include "platform/ddi.h"
#include "platform/loader.h"
#include "platform/print_queue.h"
#include "platform/printoem.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace klv::sim {

enum class Paper { kLetter, kA4, kLegal, kA3 };

// A filled rectangle, in points from the top left corner of the printable
// area.
struct Box {
    double left = 0;
    double top = 0;
    double right = 0;
    double bottom = 0;
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
};

struct Page {
    std::vector<std::string> lines; // UTF-8 text, one line each, from the top
    std::vector<Box> boxes;
    // Also draws one of every kind of drawing the driver offers under the
    // text: the font queries before the text, paths, images, a gradient,
    // a colour transform, an escape and a device query.
    bool everyDrawingCall = false;
};

// What the spooler and the device tell the driver about one job.
struct JobSetup {
    std::string user = "user1";        // UTF-8
    std::string document = "Document"; // UTF-8
    DWORD jobId = 1;
    // Jobs queued on the same printer before this one.
    std::vector<platform::QueuedJob> otherJobs;
    // Jobs queued on the same printer after this one.
    std::vector<platform::QueuedJob> laterJobs;
    Paper paper = Paper::kLetter;
    int dpi = 600;
    // The user's private device mode, merged into the plug-in's defaults
    // with OEMDM_MERGE; without one the defaults are used.
    std::optional<std::vector<std::uint8_t>> devmode;
};

// One print job as the spooler and the application describe it.
struct Job : JobSetup {
    std::vector<Page> pages = {Page{}};
};

// A job with `pages` pages, each headed "Page n of N" and a rule, then the
// given text lines. With everyDrawingCall the first page also draws one of
// every kind of drawing (see Page::everyDrawingCall).
Job SampleJob(int pages, const std::vector<std::string>& lines, bool everyDrawingCall = true);

// What a driver session saw of the plug-in's calls.
struct SessionLog {
    // Per injection point: the Command calls made, the DrvWriteSPBuf calls
    // the plug-in made while serving it, and the bytes it wrote (point 0:
    // writes outside any Command).
    std::map<DWORD, int> commandCalls;
    std::map<DWORD, int> writeCalls;
    std::map<DWORD, std::string> written;
    std::vector<DWORD> commandOrder;
    // Per DDI index: calls the engine made through a plug-in hook, and
    // calls that reached the driver's own drawing function.
    std::map<ULONG, int> hookCalls;
    std::map<ULONG, int> ownCalls;
    // Every call made to the plug-in, in order: its interface methods and
    // the drawing calls, each with the way it went and its result, e.g.
    // "DrvCopyBits: hook -> driver -> 1".
    std::vector<std::string> calls;
    // Problems seen in the calls the driver's functions received (a surface
    // not pointing at the device, a write outside a Command, a failed call).
    std::vector<std::string> faults;
    // The plug-in's trace lines of this job (see platform/trace.h).
    std::vector<std::string> trace;
    HRESULT enablePdev = E_FAIL;
    GDIINFO gdiInfo{};                         // as EnablePDEV left it
    std::vector<std::uint8_t> devmodeAfterJob; // the device's private block after DisablePDEV
};

struct JobResult : SessionLog {
    bool ok = false;
    std::string error;      // why the job failed, when it did
    std::string postscript; // the whole job
};

// Progress of a job: called after each page is sent.
using Progress = std::function<void(int page, int pages)>;

class DriverSession;

class Simulator {
public:
    Simulator();
    ~Simulator();
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    // Loads the library and brings the plug-in up to EnableDriver:
    // class object, plug-in object, PublishDriverInterface, GetInfo
    // (signature and version are checked), DevMode sizing, EnableDriver.
    bool Open(const std::string& pluginPath, std::string* error);

    DWORD Signature() const { return signature_; }
    DWORD Version() const { return version_; }
    DWORD DevModeSize() const { return devmodeSize_; }
    const DRVENABLEDATA& HookTable() const { return hooks_; }
    // References to the driver's helper interface held outside the
    // simulator (by the plug-in).
    LONG HelperReferencesHeld() const;

    // The plug-in's default private device mode (OEMDM_DEFAULT on a zeroed
    // block); empty when the plug-in failed.
    std::vector<std::uint8_t> DefaultDevMode(std::string* error);
    // The defaults with `user` merged in (OEMDM_MERGE). `user` must be as
    // large as the plug-in's block.
    std::vector<std::uint8_t> MergeDevMode(const std::vector<std::uint8_t>& user, std::string* error);

    // Writes a whole DSC job: a DriverSession whose drawing functions are
    // the simulator's job writer, driven page by page.
    JobResult Run(const Job& job, const Progress& progress = {});

    // DisableDriver, the last Release, then DllCanUnloadNow; returns what
    // DllCanUnloadNow reported (S_OK when the module may be unloaded).
    HRESULT Close();

private:
    friend class DriverSession;

    std::unique_ptr<platform::LoadedPlugin> library_;
    IPrintOemPS* plugin_ = nullptr;
    class DriverHelper;
    std::unique_ptr<DriverHelper> helper_;
    DRVENABLEDATA hooks_{};
    DWORD signature_ = 0;
    DWORD version_ = 0;
    DWORD devmodeSize_ = 0;
    bool closed_ = true;
};

struct Colour {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
};

// An 8-bit gray image, rows from the top.
struct GrayImage {
    LONG width = 0;
    LONG height = 0;
    std::vector<std::uint8_t> pixels; // width * height
};

// Where an image lands, in device pixels from the top left corner of the
// printable area: the corners its top left, top right and bottom left
// pixels go to. A rectangle unless the image is sheared or turned.
struct ImagePlace {
    POINTL topLeft;
    POINTL topRight;
    POINTL bottomLeft;
};

// The engine's image calls that take a rectangle.
enum class ImageCall { kBitBlt, kCopyBits, kStretchBlt, kStretchBltROP, kTransparentBlt, kAlphaBlend };

// The driver's own drawing functions, as the engine reaches them through
// the plug-in's hooks. Each returns whether it succeeded; the defaults
// draw nothing and succeed, which is all a session that only serves
// injection points needs.
class DriverFunctions {
public:
    virtual ~DriverFunctions() = default;
    virtual bool StartDoc() { return true; } // the name and id are the session's StartDocName/JobId
    virtual bool StartPage() { return true; }
    virtual bool SendPage() { return true; }
    virtual bool EndDoc() { return true; }
    // Text whose baseline starts at origin, in device pixels from the top
    // left corner of the printable area.
    virtual bool TextOut(const std::u16string& /*text*/, POINTL /*origin*/) { return true; }
    // A rectangle in device pixels, filled with a solid colour.
    virtual bool FillRect(const RECTL& /*rect*/, Colour /*colour*/) { return true; }
    // Paths through points in device pixels; `closed` joins the last point
    // to the first. Widths are in device pixels.
    virtual bool StrokePath(const std::vector<POINTL>& /*points*/, bool /*closed*/, Colour /*colour*/,
                            LONG /*width*/) {
        return true;
    }
    virtual bool FillPath(const std::vector<POINTL>& /*points*/, Colour /*colour*/) { return true; }
    virtual bool StrokeAndFillPath(const std::vector<POINTL>& /*points*/, Colour /*stroke*/, LONG /*width*/,
                                   Colour /*fill*/) {
        return true;
    }
    virtual bool DrawImage(const GrayImage& /*image*/, const ImagePlace& /*place*/) { return true; }
    // A rectangle shaded from `left` at its left edge to `right` at its right.
    virtual bool GradientFill(const RECTL& /*rect*/, Colour /*left*/, Colour /*right*/) { return true; }
    // Bytes the application passes through to the printer (an escape).
    virtual bool Passthrough(std::string_view /*bytes*/) { return true; }
    // Bytes the plug-in wrote outside any injection point. The session has
    // already logged the fault; a driver may still keep them in its output.
    virtual void WriteOutsideCommand(std::string_view /*bytes*/) {}
};

// One device's life with a plug-in that Simulator::Open brought up, in the
// order the driver goes through it. A pass over an existing PostScript job
// uses it to serve the injection points; Simulator::Run uses it to write
// its own jobs.
//
//   klv::sim::Simulator sim;
//   sim.Open(path, &error);
//   klv::sim::DriverSession session(sim);
//   klv::sim::JobSetup setup;              // user, document, job id, device mode
//   session.Begin(setup, nullptr, &error); // device mode merge, queue, EnablePDEV
//   session.StartDoc();                    // DrvStartDoc with the job id, through the hook
//   std::string header = session.Inject(PSINJECT_COMMENTS);
//   ...                                    // the other points, once per job or page
//   session.EndDoc();                      // DrvEndDoc through the hook
//   session.End();                         // DisablePDEV
//   session.Log().faults                   // anything that went wrong on the way
class DriverSession {
public:
    explicit DriverSession(Simulator& simulator);
    ~DriverSession(); // ends the session if End was not called
    DriverSession(const DriverSession&) = delete;
    DriverSession& operator=(const DriverSession&) = delete;

    // Merges the device mode (or takes the defaults), queues the job with
    // the spooler after setup.otherJobs, and calls EnablePDEV with the
    // driver's functions; `driver` may be null. False with a message when
    // the plug-in is not loaded, the resolution is outside 72 to 2400 dpi,
    // the device mode is refused or EnablePDEV fails.
    bool Begin(const JobSetup& setup, DriverFunctions* driver, std::string* error);

    // The engine's calls, each through the plug-in's hook when it hooks
    // the function, else straight to the driver's. StartDoc hands on the
    // document name and job id of the setup.
    bool StartDoc();
    bool StartPage();
    bool SendPage();
    bool TextOut(const std::u16string& text, POINTL origin, const RECTL& bounds);
    bool FillRect(const RECTL& rect, Colour colour); // a brush realized, then a pattern BitBlt
    // The font queries a renderer makes before it draws text in a device
    // font: metrics, glyph tree, glyph data, advance widths, glyph mode and
    // the font escape. False when the driver gave no answer to one.
    bool QueryDeviceFont(const std::u16string& text);
    bool StrokePath(const std::vector<POINTL>& points, bool closed, Colour colour, LONG width);
    bool FillPath(const std::vector<POINTL>& points, Colour colour);
    bool StrokeAndFillPath(const std::vector<POINTL>& points, Colour stroke, LONG width, Colour fill);
    // An image copied or stretched to `target` by one of the engine's calls.
    bool DrawImage(ImageCall call, const GrayImage& image, const RECTL& target);
    // An image drawn to a parallelogram (DrvPlgBlt).
    bool DrawImage(const GrayImage& image, const ImagePlace& place);
    bool GradientFill(const RECTL& rect, Colour left, Colour right);
    // A colour transform created and deleted again.
    bool ColourTransform();
    // The application's raw bytes through the escape the driver offers.
    bool Passthrough(std::string_view bytes);
    // Whether the driver takes JPEG images as they are; false is an answer.
    bool QueryJpegSupport();
    bool EndDoc();

    // Calls the plug-in's Command at one injection point and returns the
    // bytes it wrote through DrvWriteSPBuf meanwhile; a failed Command is
    // logged as a fault. Nothing before Begin or after End.
    std::string Inject(DWORD point);

    // DisablePDEV; keeps the device mode as it was left. False (and a
    // fault) when it failed or the session was not begun.
    bool End();

    const JobSetup& Setup() const;
    const GDIINFO& Gdi() const; // as EnablePDEV left it
    double PointsPerPixel() const;
    double PageWidthPoints() const;
    double PageHeightPoints() const;
    // What DrvStartDoc handed the driver.
    const std::u16string& StartDocName() const;
    DWORD StartDocJobId() const;

    const SessionLog& Log() const;
    // With false, the session keeps only counts and faults: no call log, no
    // command order and no copy of the bytes the plug-in wrote, so that its
    // memory does not grow with a job of any length. Set before Begin; on
    // by default.
    void KeepLogText(bool keep) { keepLogText_ = keep; }
    void Fault(const std::string& what);

    struct State; // reached from the driver's functions and helper

private:
    Simulator& simulator_;
    std::unique_ptr<State> state_;
    bool keepLogText_ = true;
};

// A PostScript string literal, parentheses included, for text given in
// UTF-8: characters outside Latin-1 become '?', and parentheses,
// backslashes and non-printing bytes are escaped.
std::string PsString(const std::string& utf8);

} // namespace klv::sim
