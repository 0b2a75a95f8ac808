// The job-accounting block: hands the job's user and document names to the
// printer's accounting procedures, when the printer has them. The whole
// block runs under 'stopped', so it cannot make the job fail.
#include "hooks/device_state.h"
#include "inject/document_name.h"
#include "inject/injection_points.h"
#include "strings/ansi.h"
#include "strings/bounded.h"
#include "strings/escape.h"

#include <cstring>
#include <new>

namespace klv {

namespace {

constexpr DWORD kMaxJobsListed = 15;
constexpr DWORD kUserNameChars = 64;
constexpr DWORD kNarrowChars = 260;

constexpr char kBlockHead[] = "mark {\n/ZUDurareDirod /ProcSet findresource (logjobinfo) known {\n(";
constexpr char kAfterUser[] = ") /ZUDurareDirod /ProcSet findresource begin logusername end\n(";
constexpr char kAfterFileName[] = ") /ZUDurareDirod /ProcSet findresource begin logfilename end\n(";
constexpr char kAfterJobName[] = ") /ZUDurareDirod /ProcSet findresource begin logjobname end\n";
constexpr char kBlockTail[] =
    "/ZUDurareDirod /ProcSet findresource begin logjobinfo end\n}if\n} stopped cleartomark\n";

// The spooler's record of a job, in a block that this object owns.
class JobRecord {
public:
    JobRecord() = default;
    ~JobRecord() { delete[] block_; }
    JobRecord(const JobRecord&) = delete;
    JobRecord& operator=(const JobRecord&) = delete;

    // The job the device renders, when the driver told us its id.
    bool FetchById(HANDLE printer, DWORD jobId) {
        DWORD needed = 0;
        GetJobW(printer, jobId, 1, nullptr, 0, &needed);
        if (!Allocate(needed) || !GetJobW(printer, jobId, 1, block_, needed, &needed))
            return false;
        record_ = reinterpret_cast<const JOB_INFO_1W*>(block_);
        return true;
    }

    // Otherwise the last of the first jobs in the queue.
    bool FetchLastListed(HANDLE printer) {
        DWORD needed = 0;
        DWORD returned = 0;
        EnumJobsW(printer, 0, kMaxJobsListed, 1, nullptr, 0, &needed, &returned);
        if (!Allocate(needed) ||
            !EnumJobsW(printer, 0, kMaxJobsListed, 1, block_, needed, &needed, &returned) || returned == 0)
            return false;
        record_ = reinterpret_cast<const JOB_INFO_1W*>(block_) + (returned - 1);
        return true;
    }

    const JOB_INFO_1W* Record() const { return record_; }

private:
    bool Allocate(DWORD size) {
        delete[] block_;
        block_ = nullptr;
        record_ = nullptr;
        if (size < sizeof(JOB_INFO_1W))
            return false;
        block_ = new (std::nothrow) BYTE[size];
        return block_ != nullptr;
    }

    BYTE* block_ = nullptr;
    const JOB_INFO_1W* record_ = nullptr;
};

constexpr DWORD kFixedBytes = sizeof(kBlockHead) + sizeof(kAfterUser) + sizeof(kAfterFileName) +
                              sizeof(kAfterJobName) + sizeof(kBlockTail) - 5;
static_assert(kFixedBytes == 334);
// What the three names may take together: the block must always end with
// its closing lines, or the printer would read the rest of the job into the
// unclosed procedure.
constexpr DWORD kNameBytes = kInjectionBufferSize - 1 - kFixedBytes;

// A name converted to the ANSI code page and escaped for a PostScript
// string, at most `capacity` - 1 bytes, cut between whole escapes.
struct EscapedName {
    char text[kNarrowChars];
    DWORD length;

    EscapedName(const char* narrow, DWORD capacity) {
        BoundedCopy(text, kNarrowChars, narrow);
        EscapePsString(text, capacity);
        length = static_cast<DWORD>(std::strlen(text));
    }
};

// Finds the job in the spooler: the user name goes to userName, and the
// document name, stored as the process's last one and cleaned, to
// documentName and to the device's state. A failed lookup leaves the user
// name empty and takes the previous document name.
void LookUpJob(PDEVOBJ devobj, WCHAR* userName, WCHAR* documentName) {
    DeviceHookState* state = DeviceStateOf(devobj);
    const DWORD jobId = state != nullptr ? static_cast<DWORD>(state->jobId) : 0;
    const WCHAR* document = nullptr;
    JobRecord job;
    if ((jobId != 0 && job.FetchById(devobj->hPrinter, jobId)) || job.FetchLastListed(devobj->hPrinter)) {
        if (job.Record()->pUserName != nullptr)
            BoundedCopyWide(userName, kUserNameChars, job.Record()->pUserName);
        document = job.Record()->pDocument;
    }
    StoreDocumentName(document, documentName);
    if (state != nullptr) {
        BoundedCopyWide(state->documentName, kDocumentNameChars, documentName);
        state->documentNameKnown = TRUE;
    }
}

} // namespace

void WriteAccountingBlock(InjectionWriter& writer, PDEVOBJ devobj) {
    char* buffer = writer.Buffer();
    BoundedCopy(buffer, kInjectionBufferSize, kBlockHead);

    WCHAR userName[kUserNameChars] = {};
    WCHAR documentName[kDocumentNameChars];
    LookUpJob(devobj, userName, documentName);

    char narrowUser[kNarrowChars];
    char narrowDocument[kNarrowChars];
    AnsiFromWide(narrowUser, kNarrowChars, userName, kUserNameChars);
    AnsiFromWide(narrowDocument, kNarrowChars, documentName, kDocumentNameChars);
    const EscapedName user(narrowUser, kNarrowChars);
    EscapedName document(narrowDocument, kNarrowChars);
    // Long names full of characters that need escaping could overflow the
    // block; the document name, which appears twice, is shortened then.
    if (user.length + 2 * document.length > kNameBytes)
        document = EscapedName(narrowDocument, (kNameBytes - user.length) / 2 + 1);

    BoundedAppend(buffer, kInjectionBufferSize, user.text);
    BoundedAppend(buffer, kInjectionBufferSize, kAfterUser);
    BoundedAppend(buffer, kInjectionBufferSize, document.text);
    BoundedAppend(buffer, kInjectionBufferSize, kAfterFileName);
    BoundedAppend(buffer, kInjectionBufferSize, document.text);
    BoundedAppend(buffer, kInjectionBufferSize, kAfterJobName);
    BoundedAppend(buffer, kInjectionBufferSize, kBlockTail);
    writer.WriteBuffer();
}

} // namespace klv
