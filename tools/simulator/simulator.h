// A stand-in for the PostScript printer driver: loads the plug-in library
// the way the driver loads the DLL, drives it through IPrintOemPS and
// writes whole DSC-conforming PostScript jobs, calling the plug-in at each
// injection point and drawing through the plug-in's drawing hooks.
#pragma once

#include "platform/ddi.h"
#include "platform/host/job_queue.h"
#include "platform/host/loader.h"
#include "platform/printoem.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
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
};

// One print job as the spooler and the application describe it.
struct Job {
    std::string user = "user1";        // UTF-8
    std::string document = "Document"; // UTF-8
    DWORD jobId = 1;
    // Jobs queued on the same printer before this one.
    std::vector<host::QueuedJob> otherJobs;
    // Jobs queued on the same printer after this one.
    std::vector<host::QueuedJob> laterJobs;
    std::vector<Page> pages = {Page{}};
    Paper paper = Paper::kLetter;
    int dpi = 600;
    // The user's private device mode, merged into the plug-in's defaults
    // with OEMDM_MERGE; without one the defaults are used.
    std::optional<std::vector<std::uint8_t>> devmode;
};

// A job with `pages` pages, each headed "Page n of N" and a rule, then the
// given text lines.
Job SampleJob(int pages, const std::vector<std::string>& lines);

struct JobResult {
    bool ok = false;
    std::string error;      // why the job failed, when it did
    std::string postscript; // the whole job
    // Per injection point: the Command calls made, the DrvWriteSPBuf calls
    // the plug-in made while serving it, and the bytes it wrote.
    std::map<DWORD, int> commandCalls;
    std::map<DWORD, int> writeCalls;
    std::map<DWORD, std::string> written;
    std::vector<DWORD> commandOrder;
    // Per DDI index: calls the simulator made through a plug-in hook, and
    // calls that reached the simulator's own drawing function.
    std::map<ULONG, int> hookCalls;
    std::map<ULONG, int> ownCalls;
    // Problems seen in the calls the simulator's functions received (a
    // surface not pointing at the device, a write outside a Command).
    std::vector<std::string> faults;
    HRESULT enablePdev = E_FAIL;
    GDIINFO gdiInfo{};                         // as EnablePDEV left it
    std::vector<std::uint8_t> devmodeAfterJob; // the device's private block at the end
};

// Progress of a job: called after each page is sent.
using Progress = std::function<void(int page, int pages)>;

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

    JobResult Run(const Job& job, const Progress& progress = {});

    // DisableDriver, the last Release, then DllCanUnloadNow; returns what
    // DllCanUnloadNow reported (S_OK when the module may be unloaded).
    HRESULT Close();

    struct Device; // per-job state reached from the DDI functions

private:
    std::unique_ptr<host::LoadedPlugin> library_;
    IPrintOemPS* plugin_ = nullptr;
    class DriverHelper;
    std::unique_ptr<DriverHelper> helper_;
    DRVENABLEDATA hooks_{};
    DWORD signature_ = 0;
    DWORD version_ = 0;
    DWORD devmodeSize_ = 0;
    bool closed_ = true;
};

// Writes bytes to path through a temporary file in the same directory
// that is renamed over path, so path holds either its old content or all
// of the new. Returns false with a message on failure.
bool WriteFileAtomically(const std::string& path, const std::string& bytes, std::string* error);

// UTF-8 to UTF-16; invalid sequences become U+FFFD.
std::u16string Utf8ToUtf16(const std::string& text);
std::string Utf16ToUtf8(const std::u16string& text);

// A PostScript string literal, parentheses included, for text given in
// UTF-8: characters outside Latin-1 become '?', and parentheses,
// backslashes and non-printing bytes are escaped.
std::string PsString(const std::string& utf8);

} // namespace klv::sim
