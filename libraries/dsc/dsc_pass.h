// A streaming pass over an existing DSC PostScript job that asks a callback
// for the text to add at the five injection points the PostScript driver
// serves, and passes every other byte of the job through unchanged.
//
//   klv::dsc::FdOutput out(STDOUT_FILENO);   // buffered_output.h
//   klv::dsc::DscResult r = klv::dsc::RunDscPass(
//       in, out, [](klv::dsc::InjectionPoint p) { return std::string("% point\n"); });
//
// Where the text goes:
//   kComments        before %%EndComments, or where the header comments end
//                    (an %%EndComments line is then added after the text);
//   kBeginProlog     after %%BeginProlog;
//   kEndProlog       before %%EndProlog;
//   kBeginSetup      after %%BeginSetup;
//   kBeginPageSetup  after each page's %%BeginPageSetup.
// A job without a prolog gets an empty one before its setup or first page,
// one without a setup an empty one before its first page, and a page without
// a page setup an empty one after its page comments (%%Page: and the comments
// that follow it, up to and including %%EndPageComments), so that each point
// is served once per job (per page for the last).
//
// Only the job's own comments count: %%BeginData: and %%BeginBinary:
// sections are skipped by their counts, embedded documents (%%BeginDocument
// to %%EndDocument, nested) are passed through unread, and everything from
// %%Trailer or %%EOF on, including a print job language wrapper after the
// job, is copied as it is. Bytes before the %!PS-Adobe- line (a job language
// wrapper) are copied as they are.
//
// Line endings: the comments the pass adds, and the line break that closes an
// inserted text that does not end with one, take the job's line ending (that
// of its first line). The inserted text itself is written as the callback
// returned it, by default: those are the bytes the driver would have written
// into the job, line breaks included. With kJobs every line break in it (CR
// LF, LF or CR) is written as the job's ending instead; PostScript reads all
// three alike, also inside strings.
#pragma once

#include <cstdint>
#include <functional>
#include <istream>
#include <map>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace klv::dsc {

// The injection points by their PSINJECT_* numbers.
using InjectionPoint = std::uint32_t;
inline constexpr InjectionPoint kComments = 11;
inline constexpr InjectionPoint kBeginProlog = 14;
inline constexpr InjectionPoint kEndProlog = 15;
inline constexpr InjectionPoint kBeginSetup = 16;
inline constexpr InjectionPoint kBeginPageSetup = 101;

// Returns the bytes to insert at a point (empty for none).
using Injector = std::function<std::string(InjectionPoint point)>;

enum class Origin {
    kJob,      // bytes of the job, passed through
    kInserted, // bytes the pass added: injected text and the comments of added sections
};

// Where the pass writes. Write returns false when the bytes could not be
// written; the pass then stops with an error. An output that holds bytes
// back writes them out in Flush, which the pass calls once at its end,
// whether the job was served or refused.
class DscOutput {
public:
    virtual ~DscOutput() = default;
    virtual bool Write(std::string_view bytes, Origin origin) = 0;
    virtual bool Flush() { return true; }
    // Why a write failed, for the pass's error message; empty when unknown.
    virtual std::string WhyFailed() const { return {}; }
};

// Writes to a standard stream.
class StreamOutput : public DscOutput {
public:
    explicit StreamOutput(std::ostream& out) : out_(out) {}
    bool Write(std::string_view bytes, Origin origin) override;

private:
    std::ostream& out_;
};

enum class InsertedLineEndings {
    kAsWritten, // the text's own bytes
    kJobs,      // every line break as the job's line ending
};

struct DscOptions {
    // A job without a DSC header is copied unchanged instead of refused.
    bool passThroughNonDsc = false;
    // Lines longer than this are passed through in pieces and never read as
    // comments.
    std::size_t lineCap = 64 * 1024;
    InsertedLineEndings insertedLineEndings = InsertedLineEndings::kAsWritten;
    // Bytes asked of the input per read, at least. The output never depends
    // on it; a small size only costs more reads.
    std::size_t readSize = 64 * 1024;
    // Called as each page of the job begins.
    std::function<void(int page)> onPage;
};

// Why a job was refused.
enum class DscError {
    kNone,
    kEmpty,          // no byte at all
    kUnreadable,     // the input failed
    kNoHeader,       // no %!PS-Adobe- line (and no pass-through)
    kSectionOverrun, // a counted data section runs past the end of the job
    kOutputFailed,   // a write failed
};

struct DscResult {
    bool ok = false;
    DscError failure = DscError::kNone;
    std::string error;                 // why the job was refused, in words
    std::vector<std::string> warnings; // sound output, but worth telling
    bool passedThrough = false;        // not DSC; copied unchanged
    bool truncated = false;            // the job ends before its trailer
    int pages = 0;                     // %%Page: comments of the job itself
    std::string lineEnding;            // the job's line ending
    std::map<InjectionPoint, int> served;
    std::uint64_t bytesRead = 0;
};

DscResult RunDscPass(std::istream& in, DscOutput& out, const Injector& inject,
                     const DscOptions& options = {});

} // namespace klv::dsc
