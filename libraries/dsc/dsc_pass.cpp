#include "libraries/dsc/dsc_pass.h"

#include "libraries/dsc/dsc_comments.h"
#include "libraries/dsc/line_reader.h"

#include <optional>

namespace klv::dsc {

bool StreamOutput::Write(std::string_view bytes, Origin) {
    out_.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out_);
}

namespace {

// Bytes of job language before the %!PS-Adobe- line that are kept while
// looking for it; a job with more is not taken for DSC.
constexpr std::size_t kMaxPrefixBytes = 64 * 1024;

// Where the pass stands in the job's structure.
enum class Section {
    kHeader,       // header comments
    kBeforeProlog, // after the header, waiting for %%BeginProlog
    kProlog,
    kBeforeSetup, // after the prolog, waiting for %%BeginSetup
    kSetup,
    kPageComments, // after %%Page:, waiting for %%BeginPageSetup
    // after %%EndPageComments: only %%BeginPageSetup may follow before the
    // page's own code
    kAfterPageComments,
    kPage,
    kTail, // from %%Trailer or %%EOF on: copied unread
};

class Pass {
public:
    Pass(std::istream& in, DscOutput& out, const Injector& inject, const DscOptions& options)
        : reader_(in, options.lineCap, options.readSize), out_(out), inject_(inject), options_(options) {
        reader_.BeforeMove([this] { FlushHeld(); });
    }

    DscResult Run();

private:
    bool FindHeader();
    void CopyRest();
    void HandleLine(const LinePiece& line);
    // Whether a line that is not a comment or job language is only copied here.
    bool ContentOnly() const;
    void HandleInDocument(const LinePiece& line, LineKind kind);
    void SkipData(const LinePiece& line, LineKind kind);
    void StartPage(const LinePiece& line);
    void Finish();

    // Passes bytes the reader handed out through. Adjacent ones are held as
    // one run and written when something else is, or before the reader's
    // buffer moves: a stretch of ordinary lines costs one write, not one a line.
    void Copy(std::string_view bytes);
    void FlushHeld();
    void Emit(std::string_view bytes, Origin origin);
    // Asks for the text of a point and writes it, its line breaks as the
    // options say.
    void Inject(InjectionPoint point);
    // Injects after a line that opens a section; a line cut off by the end of
    // the file gets a line ending first.
    void InjectAfter(const LinePiece& line, InjectionPoint point);
    void AddComment(std::string_view comment);
    // Adds the prolog or the setup a job lacks, with their points.
    void AddProlog();
    void AddSetup();
    // Adds the page setup a page lacks, with its point, and enters the page.
    void AddPageSetup();
    void Fail(DscError error, std::string message);
    void FailToWrite();

    LineReader reader_;
    DscOutput& out_;
    const Injector& inject_;
    const DscOptions& options_;
    DscResult result_;
    Section section_ = Section::kHeader;
    int documentDepth_ = 0;
    bool failed_ = false;
    bool writeFailed_ = false;
    std::optional<long> declaredPages_;
    std::string_view held_;
    // The last lines read were the job language that closes a wrapped job.
    bool wrapperClosed_ = false;
};

void Pass::Fail(DscError error, std::string message) {
    if (!failed_) {
        result_.failure = error;
        result_.error = std::move(message);
    }
    failed_ = true;
}

void Pass::FailToWrite() {
    writeFailed_ = true;
    const std::string why = out_.WhyFailed();
    Fail(DscError::kOutputFailed, "the output cannot be written" + (why.empty() ? "" : ": " + why));
}

void Pass::Copy(std::string_view bytes) {
    if (failed_)
        return;
    if (held_.data() + held_.size() == bytes.data()) {
        held_ = std::string_view(held_.data(), held_.size() + bytes.size());
        return;
    }
    FlushHeld();
    held_ = bytes;
}

void Pass::FlushHeld() {
    const std::string_view held = held_;
    held_ = {};
    // Bytes held before the pass failed for another reason still go out.
    if (writeFailed_ || held.empty())
        return;
    if (!out_.Write(held, Origin::kJob))
        FailToWrite();
}

void Pass::Emit(std::string_view bytes, Origin origin) {
    FlushHeld();
    if (failed_ || bytes.empty())
        return;
    if (!out_.Write(bytes, origin))
        FailToWrite();
}

void Pass::Inject(InjectionPoint point) {
    ++result_.served[point];
    const std::string text = inject_(point);
    if (text.empty())
        return;
    if (options_.insertedLineEndings == InsertedLineEndings::kAsWritten) {
        Emit(text, Origin::kInserted);
    } else {
        std::string converted;
        converted.reserve(text.size() + text.size() / 8);
        for (std::size_t i = 0; i < text.size(); ++i) {
            const char c = text[i];
            if (c == '\r' || c == '\n') {
                converted += result_.lineEnding;
                if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                    ++i;
            } else {
                converted += c;
            }
        }
        Emit(converted, Origin::kInserted);
    }
    // The job's next line must still start a line.
    if (text.back() != '\r' && text.back() != '\n')
        Emit(result_.lineEnding, Origin::kInserted);
}

void Pass::InjectAfter(const LinePiece& line, InjectionPoint point) {
    if (line.ending.empty())
        Emit(result_.lineEnding, Origin::kInserted);
    Inject(point);
}

void Pass::AddComment(std::string_view comment) {
    Emit(comment, Origin::kInserted);
    Emit(result_.lineEnding, Origin::kInserted);
}

void Pass::AddProlog() {
    AddComment("%%BeginProlog");
    Inject(kBeginProlog);
    Inject(kEndProlog);
    AddComment("%%EndProlog");
}

void Pass::AddSetup() {
    AddComment("%%BeginSetup");
    Inject(kBeginSetup);
    AddComment("%%EndSetup");
}

void Pass::AddPageSetup() {
    AddComment("%%BeginPageSetup");
    Inject(kBeginPageSetup);
    AddComment("%%EndPageSetup");
    section_ = Section::kPage;
}

bool Pass::FindHeader() {
    std::string prefix;
    LinePiece line;
    while (reader_.Next(&line)) {
        if (line.startsLine && IsDscHeaderLine(line.bytes)) {
            result_.lineEnding = line.ending.empty() ? "\n" : std::string(line.ending);
            Emit(prefix, Origin::kJob);
            Copy(line.bytes);
            if (!line.endsLine)
                CopyRest(); // a first line longer than the cap: nothing to read as DSC
            return true;
        }
        prefix += line.bytes;
        if (!line.startsLine || !IsJobLanguageLine(line.bytes) || prefix.size() > kMaxPrefixBytes)
            break;
    }
    if (prefix.empty()) {
        Fail(reader_.ReadFailed() ? DscError::kUnreadable : DscError::kEmpty,
             reader_.ReadFailed() ? "the job cannot be read" : "the job is empty");
        return false;
    }
    if (!options_.passThroughNonDsc) {
        Fail(DscError::kNoHeader, "the job has no DSC header: it does not begin with a %!PS-Adobe- line");
        return false;
    }
    result_.passedThrough = true;
    result_.warnings.push_back("the job has no DSC header; copied unchanged");
    Emit(prefix, Origin::kJob);
    CopyRest();
    return false;
}

void Pass::CopyRest() {
    section_ = Section::kTail;
    for (std::string_view bytes; !failed_ && !(bytes = reader_.Raw(1 << 20)).empty();)
        Copy(bytes);
}

void Pass::SkipData(const LinePiece& line, LineKind kind) {
    const std::uint64_t at = reader_.Offset() - line.bytes.size();
    const std::optional<DataCount> count = ParseDataCount(WithoutEnding(line.bytes), kind);
    if (!count) {
        result_.warnings.push_back(
            "byte " + std::to_string(at) +
            ": a data section without a readable count; its lines are read as the job's");
        return;
    }
    if (count->count == 0)
        return;
    const std::string what = std::string(kind == LineKind::kBeginData ? "%%BeginData" : "%%BeginBinary") +
                             " section at byte " + std::to_string(at) + " declares " +
                             std::to_string(count->count) + (count->lines ? " lines" : " bytes");
    std::uint64_t left = count->count;
    if (line.ending.empty()) {
        // Its own line is the last of the job.
    } else if (count->lines) {
        for (std::string_view bytes; left > 0 && !failed_ && !(bytes = reader_.RawLines(&left)).empty();)
            Copy(bytes);
    } else {
        for (std::string_view bytes; left > 0 && !failed_ && !(bytes = reader_.Raw(left)).empty();) {
            Copy(bytes);
            left -= bytes.size();
        }
    }
    if (left > 0)
        Fail(DscError::kSectionOverrun, "the " + what + ", but the job ends after " +
                                            std::to_string(count->count - left) +
                                            " of them: it is longer than the file");
}

void Pass::HandleInDocument(const LinePiece& line, LineKind kind) {
    Copy(line.bytes);
    if (kind == LineKind::kBeginDocument)
        ++documentDepth_;
    else if (kind == LineKind::kEndDocument)
        --documentDepth_;
    else if (kind == LineKind::kBeginData || kind == LineKind::kBeginBinary)
        SkipData(line, kind);
}

void Pass::StartPage(const LinePiece& line) {
    ++result_.pages;
    if (options_.onPage)
        options_.onPage(result_.pages);
    Copy(line.bytes);
    section_ = Section::kPageComments;
}

bool Pass::ContentOnly() const {
    switch (section_) {
    case Section::kHeader:
    case Section::kPageComments:
    case Section::kAfterPageComments:
        return documentDepth_ > 0;
    default:
        return true;
    }
}

void Pass::HandleLine(const LinePiece& line) {
    // Only complete lines are read as comments; a line longer than the cap is
    // plain content.
    const LineKind kind = line.endsLine ? ClassifyLine(line.Text()) : LineKind::kOther;
    if (documentDepth_ > 0) {
        HandleInDocument(line, kind);
        return;
    }
    switch (section_) {
    case Section::kHeader:
        if (kind == LineKind::kEndComments) {
            Inject(kComments);
            Copy(line.bytes);
            section_ = Section::kBeforeProlog;
            return;
        }
        if (kind == LineKind::kComment) {
            if (!declaredPages_)
                declaredPages_ = ParsePagesComment(WithoutEnding(line.bytes));
            Copy(line.bytes);
            return;
        }
        // The header ends at the first line that is not a header comment.
        Inject(kComments);
        AddComment("%%EndComments");
        section_ = Section::kBeforeProlog;
        HandleLine(line);
        return;
    case Section::kBeforeProlog:
        if (kind == LineKind::kBeginProlog) {
            Copy(line.bytes);
            InjectAfter(line, kBeginProlog);
            section_ = Section::kProlog;
            return;
        }
        if (kind == LineKind::kEndProlog) {
            // A prolog that has only its end comment, as in version 2.0 jobs.
            Inject(kBeginProlog);
            Inject(kEndProlog);
            Copy(line.bytes);
            section_ = Section::kBeforeSetup;
            return;
        }
        if (kind == LineKind::kBeginSetup || kind == LineKind::kPage || kind == LineKind::kTrailer ||
            kind == LineKind::kEof) {
            AddProlog();
            section_ = Section::kBeforeSetup;
            HandleLine(line);
            return;
        }
        break;
    case Section::kProlog:
        if (kind == LineKind::kEndProlog) {
            Inject(kEndProlog);
            Copy(line.bytes);
            section_ = Section::kBeforeSetup;
            return;
        }
        if (kind == LineKind::kBeginSetup || kind == LineKind::kPage || kind == LineKind::kTrailer ||
            kind == LineKind::kEof) {
            // The prolog was never closed: close it before what follows it.
            Inject(kEndProlog);
            AddComment("%%EndProlog");
            section_ = Section::kBeforeSetup;
            HandleLine(line);
            return;
        }
        break;
    case Section::kBeforeSetup:
        if (kind == LineKind::kBeginSetup) {
            Copy(line.bytes);
            InjectAfter(line, kBeginSetup);
            section_ = Section::kSetup;
            return;
        }
        if (kind == LineKind::kPage || kind == LineKind::kTrailer || kind == LineKind::kEof) {
            AddSetup();
            section_ = Section::kSetup;
            HandleLine(line);
            return;
        }
        break;
    case Section::kPageComments:
        if (kind == LineKind::kBeginPageSetup) {
            Copy(line.bytes);
            InjectAfter(line, kBeginPageSetup);
            section_ = Section::kPage;
            return;
        }
        if (kind == LineKind::kComment) {
            Copy(line.bytes);
            return;
        }
        if (kind == LineKind::kEndPageComments) {
            Copy(line.bytes);
            section_ = Section::kAfterPageComments;
            return;
        }
        AddPageSetup();
        HandleLine(line);
        return;
    case Section::kAfterPageComments:
        if (kind == LineKind::kBeginPageSetup) {
            Copy(line.bytes);
            InjectAfter(line, kBeginPageSetup);
            section_ = Section::kPage;
            return;
        }
        AddPageSetup();
        HandleLine(line);
        return;
    case Section::kSetup:
    case Section::kPage:
    case Section::kTail:
        break;
    }

    switch (kind) {
    case LineKind::kPage:
        StartPage(line);
        return;
    case LineKind::kTrailer:
    case LineKind::kEof:
        Copy(line.bytes);
        CopyRest();
        return;
    case LineKind::kBeginDocument:
    case LineKind::kBeginData:
    case LineKind::kBeginBinary:
        HandleInDocument(line, kind);
        return;
    default:
        Copy(line.bytes);
        return;
    }
}

void Pass::Finish() {
    if (section_ == Section::kTail)
        return;
    // A wrapped job that ends with its job language has ended, even without
    // %%EOF; nothing is added after that end.
    if (!wrapperClosed_) {
        result_.truncated = true;
        std::string where;
        if (documentDepth_ > 0)
            where = " inside an embedded document";
        else if (result_.pages > 0)
            where = " in page " + std::to_string(result_.pages);
        result_.warnings.push_back(
            "the job ends" + where +
            " without %%Trailer or %%EOF; it may be truncated, and was processed to its end");
    }
    std::string missing;
    for (InjectionPoint point : {kComments, kBeginProlog, kEndProlog, kBeginSetup, kBeginPageSetup}) {
        if (result_.served.count(point) == 0)
            missing += (missing.empty() ? "" : ", ") + std::to_string(point);
    }
    if (!missing.empty())
        result_.warnings.push_back("injection points not reached before the end of the job: " + missing);
}

DscResult Pass::Run() {
    if (FindHeader()) {
        LinePiece line;
        while (!failed_ && section_ != Section::kTail) {
            // Where a line that does not start with '%' is only copied, runs
            // of such lines are copied whole; a closed wrapper is reopened by
            // any of them, so it is watched line by line.
            if (!wrapperClosed_ && ContentOnly()) {
                const std::string_view plain = reader_.PlainLines();
                if (!plain.empty()) {
                    Copy(plain);
                    continue;
                }
            }
            if (!reader_.Next(&line))
                break;
            if (!line.startsLine) {
                Copy(line.bytes); // the rest of a line longer than the cap
                continue;
            }
            const std::string_view bare = line.Text();
            if (documentDepth_ == 0 && IsJobEndLine(bare))
                wrapperClosed_ = true;
            else if (!bare.empty())
                wrapperClosed_ = false;
            HandleLine(line);
        }
        if (!failed_)
            Finish();
    }
    // What was written before a refusal still goes out, as a stream's would.
    FlushHeld();
    if (!out_.Flush() && !failed_)
        FailToWrite();
    if (!failed_ && reader_.ReadFailed())
        Fail(DscError::kUnreadable, "the job cannot be read to its end");
    if (!failed_ && declaredPages_ && *declaredPages_ != result_.pages && !result_.passedThrough)
        result_.warnings.push_back("the header declares " + std::to_string(*declaredPages_) +
                                   " pages, the job has " + std::to_string(result_.pages));
    result_.bytesRead = reader_.Offset();
    result_.ok = !failed_;
    return result_;
}

} // namespace

DscResult RunDscPass(std::istream& in, DscOutput& out, const Injector& inject, const DscOptions& options) {
    return Pass(in, out, inject, options).Run();
}

} // namespace klv::dsc
