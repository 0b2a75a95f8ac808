#include "libraries/dsc/buffered_output.h"
#include "libraries/dsc/dsc_pass.h"
#include "libraries/dsc/dsc_test_support.h"
#include "libraries/dsc/file_output.h"
#include "libraries/dsc/line_reader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <span>
#include <sstream>
#include <thread>
#include <unistd.h>

namespace klv::dsc {
namespace {

using test::Count;
using test::Marker;
using test::RunMarked;
using namespace std::string_literals;

// A job as the pass should leave it, written with "\n" line breaks: "{N}"
// stands for the text injected at point N (with its own CR LF, or the job's
// line ending), and a line that starts with "+"
// (after any such text) was added by the pass. The job the pass reads is
// the same without both.
struct ExpectedJob {
    std::string input;
    std::string output;
};

ExpectedJob Expand(std::string_view text, std::string_view eol, InsertedLineEndings mode) {
    if (text.starts_with('\n'))
        text.remove_prefix(1);
    ExpectedJob job;
    bool lineStart = true;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '{') {
            const std::size_t close = text.find('}', i);
            const auto point =
                static_cast<InjectionPoint>(std::stoul(std::string(text.substr(i + 1, close - i))));
            job.output += mode == InsertedLineEndings::kJobs ? Marker(point, eol) : test::MarkerText(point);
            i = close;
            continue;
        }
        if (lineStart && c == '+') {
            const std::size_t lineEnd = text.find('\n', i);
            job.output += std::string(text.substr(i + 1, lineEnd - i - 1)) + std::string(eol);
            i = lineEnd;
            continue;
        }
        const std::string bytes = c == '\n' ? std::string(eol) : std::string(1, c);
        job.input += bytes;
        job.output += bytes;
        lineStart = c == '\n';
    }
    return job;
}

struct PlacementCase {
    const char* name;
    const char* job;
    int pages;
};

const PlacementCase kPlacementCases[] = {
    {"every section present", R"(
%!PS-Adobe-3.0
%%Pages: 2
{11}%%EndComments
%%BeginProlog
{14}/x 1 def
{15}%%EndProlog
%%BeginSetup
{16}%%EndSetup
%%Page: 1 1
%%BeginPageSetup
{101}%%EndPageSetup
showpage
%%Page: 2 2
%%BeginPageSetup
{101}%%EndPageSetup
showpage
%%Trailer
%%EOF
)",
     2},
    {"header ends at code without %%EndComments; no prolog, setup or page setup", R"(
%!PS-Adobe-2.0
%%Title: memo
{11}+%%EndComments
/x 1 def
+%%BeginProlog
{14}{15}+%%EndProlog
+%%BeginSetup
{16}+%%EndSetup
%%Page: 1 1
+%%BeginPageSetup
{101}+%%EndPageSetup
showpage
%%EOF
)",
     1},
    {"header ends at %%BeginProlog; prolog never closed", R"(
%!PS-Adobe-3.0
{11}+%%EndComments
%%BeginProlog
{14}/x 1 def
{15}+%%EndProlog
%%BeginSetup
{16}%%EndSetup
%%Page: 1 1
%%BeginPageSetup
{101}showpage
%%EOF
)",
     1},
    {"prolog with only its end comment", R"(
%!PS-Adobe-2.0
{11}%%EndComments
/x 1 def
{14}{15}%%EndProlog
+%%BeginSetup
{16}+%%EndSetup
%%Page: 1 1
+%%BeginPageSetup
{101}+%%EndPageSetup
showpage
)",
     1},
    {"code between the header and the prolog", R"(
%!PS-Adobe-3.0
{11}%%EndComments
/a2 200 dict def
%%BeginProlog
{14}{15}%%EndProlog
%%BeginSetup
{16}%%EndSetup
%%Trailer
)",
     0},
    {"page comments before the page setup, labels that are not numbers, (atend)", R"(
%!PS-Adobe-3.0
%%Pages: (atend)
{11}%%EndComments
%%BeginProlog
{14}{15}%%EndProlog
+%%BeginSetup
{16}+%%EndSetup
%%Page: (1-2) 1
%%PageBoundingBox: 0 0 595 842
%%BeginPageSetup
{101}%%EndPageSetup
%%Page: (iv) 2
%%PageOrientation: Portrait
+%%BeginPageSetup
{101}+%%EndPageSetup
save
%%Trailer
%%Pages: 2
%%EOF
)",
     2},
    {"only the job's own header counts: a font resource with its own %%EndComments", R"(
%!PS-Adobe-3.0
{11}%%EndComments
%%BeginProlog
{14}{15}%%EndProlog
%%BeginSetup
{16}%%BeginResource: font F
%!PS-AdobeFont-1.0: F 001
%%EndComments
%%BeginProlog
%%EndResource
%%EndSetup
%%Page: 1 1
%%BeginPageSetup
{101}%%BeginPageSetup
%%EOF
)",
     1},
    {"embedded documents, nested, are not read", R"(
%!PS-Adobe-3.0
{11}%%EndComments
%%BeginProlog
{14}{15}%%EndProlog
%%BeginSetup
{16}%%EndSetup
%%Page: 1 1
+%%BeginPageSetup
{101}+%%EndPageSetup
%%BeginDocument: fig.eps
%!PS-Adobe-3.0 EPSF-3.0
%%EndComments
%%BeginProlog
%%EndProlog
%%BeginSetup
%%Page: 1 1
%%BeginPageSetup
%%BeginDocument: inner.eps
%!PS-Adobe-3.0 EPSF-3.0
%%Page: 1 1
%%EndDocument
%%Trailer
%%EOF
%%EndDocument
showpage
%%Page: 2 2
%%BeginPageSetup
{101}showpage
%%Trailer
%%EOF
)",
     2},
    {"a job language wrapper before %!PS-Adobe- and after the end is kept",
     "\x1b%-12345X@PJL JOB\n"
     "@PJL ENTER LANGUAGE = POSTSCRIPT\n"
     "%!PS-Adobe-3.0\n"
     "{11}%%EndComments\n"
     "+%%BeginProlog\n"
     "{14}{15}+%%EndProlog\n"
     "+%%BeginSetup\n"
     "{16}+%%EndSetup\n"
     "%%Page: 1 1\n"
     "+%%BeginPageSetup\n"
     "{101}+%%EndPageSetup\n"
     "showpage\n"
     "%%EOF\n"
     "\x04\x1b%-12345X@PJL EOJ\n"
     "\x1b%-12345X",
     1},
};

struct LineEnding {
    const char* name;
    const char* eol;
};
const LineEnding kLineEndings[] = {{"LF", "\n"}, {"CR LF", "\r\n"}, {"CR", "\r"}};

// Runs each case in every line ending, with the inserted text as written and
// converted to the job's line ending.
void ExpectPlacements(const PlacementCase* cases, std::size_t count) {
    for (const InsertedLineEndings mode : {InsertedLineEndings::kAsWritten, InsertedLineEndings::kJobs}) {
        for (const LineEnding& ending : kLineEndings) {
            for (const PlacementCase& c : std::span(cases, count)) {
                SCOPED_TRACE(std::string(c.name) + ", " + ending.name +
                             (mode == InsertedLineEndings::kJobs ? ", converted" : ""));
                const ExpectedJob job = Expand(c.job, ending.eol, mode);
                DscOptions options;
                options.insertedLineEndings = mode;
                const test::Recorded r = RunMarked(job.input, options);
                ASSERT_TRUE(r.result.ok) << r.result.error;
                EXPECT_EQ(r.output, job.output);
                EXPECT_EQ(r.job, job.input);
                EXPECT_EQ(r.result.pages, c.pages);
                EXPECT_EQ(r.result.lineEnding, ending.eol);
                // Each job-level point once, the page setup once per page.
                for (InjectionPoint point : {kComments, kBeginProlog, kEndProlog, kBeginSetup})
                    EXPECT_EQ(r.result.served.count(point), 1u) << point;
                EXPECT_EQ(r.result.served.count(kBeginPageSetup) ? r.result.served.at(kBeginPageSetup) : 0,
                          c.pages);
            }
        }
    }
}

TEST(DscPass, InjectsWhereTheDriverDoesInEveryLineEnding) {
    ExpectPlacements(kPlacementCases, std::size(kPlacementCases));
}

// The page-level comments of a version 3.0 job: they stay before the page
// setup, and %%EndPageComments ends them.
const PlacementCase kPageCommentCases[] = {
    {"%%EndPageComments, then the page's own page setup", R"(
%!PS-Adobe-3.0
%%Pages: 2
{11}%%EndComments
%%BeginProlog
{14}{15}%%EndProlog
%%BeginSetup
{16}%%EndSetup
%%Page: 1 1
%%PageBoundingBox: 12 12 583 830
%%PageOrientation: Portrait
%%EndPageComments
%%BeginPageSetup
{101}/pagesave save def
%%EndPageSetup
showpage
%%PageTrailer
%%Page: 2 2
%%EndPageComments
%%BeginPageSetup
{101}%%EndPageSetup
showpage
%%PageTrailer
%%Trailer
%%EOF
)",
     2},
    {"every page-level comment, %%EndPageComments and no page setup", R"(
%!PS-Adobe-3.0
{11}%%EndComments
%%BeginProlog
{14}{15}%%EndProlog
%%BeginSetup
{16}%%EndSetup
%%Page: 1 1
%%PageBoundingBox: 0 0 595 842
%%PageOrientation: Landscape
%%PageMedia: plain
%%PageRequirements: duplex
%%PageResources: font Helvetica
%%+ font Courier
%%PageProcessColors: Cyan Magenta Yellow Black
%%PageCustomColors: (PANTONE 185 C)
%%EndPageComments
+%%BeginPageSetup
{101}+%%EndPageSetup
showpage
%%PageTrailer
%%EOF
)",
     1},
    {"page-level comments without %%EndPageComments, then a page setup", R"(
%!PS-Adobe-3.0
{11}%%EndComments
%%BeginProlog
{14}{15}%%EndProlog
%%BeginSetup
{16}%%EndSetup
%%Page: 1 1
%%PageMedia: plain
%%PageProcessColors: Black
%%BeginPageSetup
{101}%%EndPageSetup
showpage
%%EOF
)",
     1},
    {"page comments deferred to the page trailer; an empty page", R"(
%!PS-Adobe-3.0
{11}%%EndComments
%%BeginProlog
{14}{15}%%EndProlog
%%BeginSetup
{16}%%EndSetup
%%Page: 1 1
%%PageBoundingBox: (atend)
%%PageResources: (atend)
%%EndPageComments
%%BeginPageSetup
{101}%%EndPageSetup
showpage
%%PageTrailer
%%PageBoundingBox: 0 0 595 842
%%PageResources: font Helvetica
%%Page: 2 2
+%%BeginPageSetup
{101}+%%EndPageSetup
%%PageTrailer
%%Trailer
%%EOF
)",
     2},
    {"%%EndPageComments, then code before any page setup", R"(
%!PS-Adobe-3.0
{11}%%EndComments
%%BeginProlog
{14}{15}%%EndProlog
%%BeginSetup
{16}%%EndSetup
%%Page: 1 1
%%PageOrientation: Portrait
%%EndPageComments
+%%BeginPageSetup
{101}+%%EndPageSetup
showpage
%%EOF
)",
     1},
};

TEST(DscPass, KeepsPageLevelCommentsBeforeThePageSetupInEveryLineEnding) {
    ExpectPlacements(kPageCommentCases, std::size(kPageCommentCases));
}

TEST(DscPass, ClosesInjectedTextThatLacksALineBreak) {
    const struct {
        InsertedLineEndings mode;
        const char* expected;
    } cases[] = {
        {InsertedLineEndings::kAsWritten, "%!PS-Adobe-3.0\ra\r\nb\nc\r%%EndComments\r"},
        {InsertedLineEndings::kJobs, "%!PS-Adobe-3.0\ra\rb\rc\r%%EndComments\r"},
    };
    for (const auto& c : cases) {
        std::istringstream in("%!PS-Adobe-3.0\r%%EndComments\r%%Trailer\r");
        std::ostringstream out;
        StreamOutput output(out);
        DscOptions options;
        options.insertedLineEndings = c.mode;
        const DscResult r = RunDscPass(
            in, output,
            [](InjectionPoint p) { return p == kComments ? std::string("a\r\nb\nc") : std::string(); },
            options);
        ASSERT_TRUE(r.ok) << r.error;
        EXPECT_EQ(out.str(), std::string(c.expected) +
                                 "%%BeginProlog\r%%EndProlog\r%%BeginSetup\r%%EndSetup\r%%Trailer\r");
    }
}

// A job whose data sections hold lines that would be read as its structure.
std::string JobWithData(const std::string& prologSection, const std::string& pageSection) {
    return "%!PS-Adobe-3.0\n%%EndComments\n%%BeginProlog\n" + prologSection +
           "%%EndProlog\n%%BeginSetup\n%%EndSetup\n%%Page: 1 1\n%%BeginPageSetup\n%%EndPageSetup\n" +
           pageSection +
           "showpage\n%%Page: 2 2\n%%BeginPageSetup\n%%EndPageSetup\nshowpage\n%%Trailer\n%%EOF\n";
}

const std::string kTrap = "\n%%Page: 9 9\n%%EndComments\n%%EndProlog\n%%BeginSetup\n\x04\n%%BeginPageSetup\n"
                          "%%Trailer\n%%EOF\n\r\n\x00\xff"s;

std::string Section(const std::string& begin, const std::string& payload, const std::string& end) {
    return begin + "\n" + payload + "\n" + end + "\n";
}

struct DataCase {
    const char* name;
    std::string job;
};

TEST(DscPass, SkipsDataSectionsByTheirCounts) {
    const std::string bytes = std::to_string(kTrap.size());
    const DataCase cases[] = {
        {"%%BeginBinary", JobWithData(Section("%%BeginBinary: " + bytes, kTrap, "%%EndBinary"),
                                      Section("%%BeginBinary: " + bytes, kTrap, "%%EndBinary"))},
        {"%%BeginData in bytes",
         JobWithData(Section("%%BeginData: " + bytes + " Binary Bytes", kTrap, "%%EndData"),
                     Section("%%BeginData: " + bytes + " Binary", kTrap, "%%EndData"))},
        {"%%BeginData in lines",
         JobWithData(
             Section("%%BeginData: 4 ASCII Lines", "%%EndProlog\n%%BeginSetup\n%%Page: 9 9\n%%EOF",
                     "%%EndData"),
             Section("%%BeginData: 3 Hex Lines", "%%Page: 9 9\r\n%%BeginPageSetup\r%%Trailer", "%%EndData"))},
        {"an embedded document holding a binary section with %%EndDocument",
         JobWithData("", Section("%%BeginDocument: x.eps\n%!PS-Adobe-3.0 EPSF-3.0\n%%BeginBinary: 13",
                                 "%%EndDocument", "%%EndBinary\n%%Page: 9 9\n%%EndDocument"))},
    };
    for (const DataCase& c : cases) {
        SCOPED_TRACE(c.name);
        const test::Recorded r = RunMarked(c.job);
        ASSERT_TRUE(r.result.ok) << r.result.error;
        EXPECT_EQ(r.job, c.job);
        EXPECT_EQ(r.result.pages, 2);
        EXPECT_EQ(r.result.served.at(kBeginPageSetup), 2);
        EXPECT_EQ(r.result.served.at(kEndProlog), 1);
        EXPECT_EQ(Count(r.output, test::MarkerText(kEndProlog) + "%%EndProlog\n%%BeginSetup\n" +
                                      test::MarkerText(kBeginSetup)),
                  1);
        EXPECT_FALSE(r.result.truncated);
    }
}

TEST(DscPass, GivesTheSameOutputHoweverTheInputArrives) {
    // Reads of any size cut comments, CR LFs and data sections at every
    // place; the output and what was served must not change.
    const std::string lf =
        JobWithData(Section("%%BeginBinary: " + std::to_string(kTrap.size()), kTrap, "%%EndBinary"),
                    Section("%%BeginData: 2 ASCII Lines", "%%Page: 9 9\n%%EOF", "%%EndData"));
    std::string crlf, cr;
    for (const char c : lf) {
        crlf += c == '\n' ? "\r\n"s : std::string(1, c);
        cr += c == '\n' ? '\r' : c;
    }
    // A small line cap keeps the reader's buffer small, so that the reads
    // end all over the job.
    DscOptions options;
    options.lineCap = 40;
    for (const std::string& job : {lf, crlf, cr}) {
        const test::Recorded whole = RunMarked(job, options);
        ASSERT_TRUE(whole.result.ok) << whole.result.error;
        for (std::size_t readSize = 1; readSize <= 40; ++readSize) {
            SCOPED_TRACE(readSize);
            options.readSize = readSize;
            const test::Recorded r = RunMarked(job, options);
            EXPECT_EQ(r.output, whole.output);
            EXPECT_EQ(r.job, job);
            EXPECT_EQ(r.result.served, whole.result.served);
            EXPECT_EQ(r.result.pages, 2);
        }
    }
}

TEST(DscPass, PassesLinesLongerThanTheCapInPieces) {
    // The second piece of the long line starts with "%%Page:" and must not
    // be read as a comment.
    const std::string job = "%!PS-Adobe-3.0\n%%EndComments\n%%Page: 1 1\n" + std::string(20, 'x') +
                            "%%Page: 9 9\n" + std::string(100, 'y') + "\n%%Page: 2 2\n%%EOF\n";
    DscOptions options;
    options.lineCap = 20;
    const test::Recorded r = RunMarked(job, options);
    ASSERT_TRUE(r.result.ok) << r.result.error;
    EXPECT_EQ(r.job, job);
    EXPECT_EQ(r.result.pages, 2);
}

struct RefusalCase {
    const char* name;
    std::string job;
    bool passThrough;
    bool ok;
    const char* message; // part of the error, or of a warning when ok
    bool outputIsInput;  // else no output at all (refused before writing)
};

TEST(DscPass, RefusesOnlyWhatItCannotServeAndSaysWhy) {
    const std::string pageStart = "%!PS-Adobe-3.0\n%%EndComments\n%%Page: 1 1\n%%BeginPageSetup\n";
    const RefusalCase cases[] = {
        {"an empty file", "", false, false, "empty", true},
        {"no DSC header", "%!PS\n/x 1 def showpage\n", false, false, "no DSC header", false},
        {"not PostScript at all", std::string("\x89PNG\r\n\x1a\n\0\0", 10), false, false, "no DSC header",
         false},
        {"job language without a DSC job",
         "@PJL JOB\n@PJL ENTER LANGUAGE = PCL\n\x1b"
         "E",
         false, false, "no DSC header", false},
        {"no DSC header, copied when asked", "%!\nshowpage\n", true, true, "copied unchanged", true},
        {"a binary section longer than the file", pageStart + "%%BeginBinary: 100\nabc\n", false, false,
         "longer than the file", false},
        {"a data section of lines longer than the file", pageStart + "%%BeginData: 3 Hex Lines\nab\n", false,
         false, "longer than the file", false},
        {"a job cut off in a page", pageStart + "0 0 moveto (cut", false, true, "truncated", false},
        {"a job cut off in an embedded document",
         pageStart + "%%BeginDocument: a\n%!PS-Adobe-3.0\n%%Trailer\n", false, true,
         "inside an embedded document", false},
        {"a job cut off in its header", "%!PS-Adobe-3.0\n%%Title: a", false, true, "not reached", true},
        {"a page count that does not match", "%!PS-Adobe-3.0\n%%Pages: 3\n%%Page: 1 1\n%%EOF\n", false, true,
         "declares 3 pages, the job has 1", false},
    };
    for (const RefusalCase& c : cases) {
        SCOPED_TRACE(c.name);
        DscOptions options;
        options.passThroughNonDsc = c.passThrough;
        const test::Recorded r = RunMarked(c.job, options);
        EXPECT_EQ(r.result.ok, c.ok) << r.result.error;
        if (!c.ok) {
            EXPECT_NE(r.result.error.find(c.message), std::string::npos) << r.result.error;
        } else {
            std::string warnings;
            for (const std::string& w : r.result.warnings)
                warnings += w + "\n";
            EXPECT_NE(warnings.find(c.message), std::string::npos) << warnings;
        }
        if (c.outputIsInput) {
            EXPECT_EQ(r.output, c.job);
        } else if (!c.ok && c.message == std::string("no DSC header")) {
            EXPECT_EQ(r.output, ""); // nothing reaches a stream for a refused job
        }
        // Apart from a job without a header, every byte read before the end
        // was passed on, also when the job was then refused.
        if (c.message != std::string("no DSC header")) {
            EXPECT_EQ(r.job, c.job);
        }
    }
}

TEST(DscPass, ReportsTheJobAsTruncatedOnlyWhenItLacksItsEnd) {
    const test::Recorded whole = RunMarked("%!PS-Adobe-3.0\n%%Page: 1 1\n%%Trailer\n");
    const test::Recorded cut = RunMarked("%!PS-Adobe-3.0\n%%Page: 1 1\nshowpage\n");
    EXPECT_FALSE(whole.result.truncated);
    EXPECT_TRUE(cut.result.truncated);
    // Nothing is added after the end of a truncated job.
    EXPECT_TRUE(cut.output.ends_with("showpage\n"));
    // A wrapped job without %%EOF ends with its job language.
    const std::string wrapped =
        "%!PS-Adobe-3.0\r\n%%Page: 1 1\r\nshowpage\r\n\x04\x1b%-12345X@PJL EOJ\r\n\x1b%-12345X";
    const test::Recorded closed = RunMarked(wrapped);
    EXPECT_FALSE(closed.result.truncated);
    EXPECT_TRUE(closed.output.ends_with("showpage\r\n\x04\x1b%-12345X@PJL EOJ\r\n\x1b%-12345X"));
    EXPECT_EQ(closed.job, wrapped);
}

TEST(DscPass, StopsWhenTheOutputFails) {
    struct FailingOutput : DscOutput {
        bool Write(std::string_view, Origin) override { return false; }
    } out;
    std::istringstream in("%!PS-Adobe-3.0\n%%EOF\n");
    const DscResult r = RunDscPass(in, out, test::MarkerText);
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.error.find("cannot be written"), std::string::npos);
}

TEST(DscPass, ReportsEachPageAsItBegins) {
    std::vector<int> pages;
    DscOptions options;
    options.onPage = [&](int page) { pages.push_back(page); };
    RunMarked("%!PS-Adobe-3.0\n%%Page: a 1\n%%Page: b 2\n%%Page: c 3\n%%EOF\n", options);
    EXPECT_EQ(pages, (std::vector<int>{1, 2, 3}));
}

TEST(LineReader, KeepsCrLfWholeAcrossReadsAndCapsLongLines) {
    // The reader's first read ends after cap + 2 + readSize bytes; a CR LF is
    // placed on every side of that boundary, at the size the filter reads.
    const std::size_t cap = 16;
    const std::size_t readSize = DscOptions{}.readSize;
    const std::size_t boundary = cap + 2 + readSize;
    for (std::size_t crAt = boundary - 3; crAt <= boundary + 1; ++crAt) {
        SCOPED_TRACE(crAt);
        std::string input;
        while (input.size() + 10 < crAt)
            input += "abcdefgh\n";
        input += std::string(crAt - input.size(), 'z') + "\r\nend";
        std::istringstream in(input);
        LineReader reader(in, cap, readSize);
        std::string joined;
        LinePiece piece;
        bool sawCrLf = false;
        while (reader.Next(&piece)) {
            EXPECT_LE(piece.bytes.size(), cap + 2);
            EXPECT_NE(piece.ending, "\r"); // no CR LF is split into two line ends
            sawCrLf = sawCrLf || piece.ending == "\r\n";
            joined += piece.bytes;
        }
        EXPECT_TRUE(sawCrLf);
        EXPECT_EQ(joined, input);
    }
}

TEST(FdOutput, DeliversEveryByteThroughFullPipesAndPartialWrites) {
    // A small non-blocking pipe and a slow reader: writes come back short or
    // not at all, and each piece larger than a block bypasses it.
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    fcntl(fds[1], F_SETFL, O_NONBLOCK);
    fcntl(fds[1], F_SETPIPE_SZ, 4096);
    std::string received;
    std::thread reader([&] {
        char chunk[97];
        for (ssize_t n; (n = read(fds[0], chunk, sizeof chunk)) != 0;) {
            if (n > 0)
                received.append(chunk, static_cast<std::size_t>(n));
        }
    });
    std::string page = "%%Page: 1 1\n%%BeginPageSetup\n%%EndPageSetup\n";
    for (int i = 0; i < 2000; ++i)
        page += "(line " + std::to_string(i) + ") show\n";
    const std::string binary(50000, '\x04');
    const std::string job = "%!PS-Adobe-3.0\n%%EndComments\n" + page + "%%BeginBinary: 50000\n" + binary +
                            "\n%%EndBinary\nshowpage\n%%EOF\n";
    std::istringstream in(job);
    FdOutput out(fds[1], 1000);
    const DscResult r = RunDscPass(in, out, test::MarkerText);
    close(fds[1]);
    reader.join();
    close(fds[0]);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(out.Error(), 0);
    EXPECT_EQ(received, RunMarked(job).output);
}

TEST(FdOutput, ReportsWhyTheOutputCannotBeWritten) {
    const int fd = open("/dev/full", O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        GTEST_SKIP() << "no /dev/full";
    std::istringstream in("%!PS-Adobe-3.0\n%%EndComments\n%%EOF\n");
    FdOutput out(fd);
    const DscResult r = RunDscPass(in, out, test::MarkerText);
    close(fd);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, "the output cannot be written: "s + std::strerror(ENOSPC));
}

struct FileOutputCase {
    const char* name;
    bool commit;
    bool fileExpected;
};

TEST(FileOutput, WritesTheFileWholeOrNotAtAll) {
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "klvps-file-output-test";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    const FileOutputCase cases[] = {{"committed", true, true}, {"abandoned", false, false}};
    for (const FileOutputCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::filesystem::path path = dir / c.name;
        {
            FileOutput out(path.string());
            std::string error;
            ASSERT_TRUE(out.Open(&error)) << error;
            ASSERT_TRUE(out.Write("%!PS-Adobe-3.0\n", Origin::kJob));
            if (c.commit) {
                ASSERT_TRUE(out.Commit(&error)) << error;
            }
        }
        EXPECT_EQ(std::filesystem::exists(path), c.fileExpected);
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), c.fileExpected ? 1 : 0)
            << "a temporary file was left behind";
        std::filesystem::remove(path);
    }
    FileOutput missing((dir / "no-such-dir" / "job.ps").string());
    std::string error;
    EXPECT_FALSE(missing.Open(&error));
    EXPECT_NE(error.find("no-such-dir"), std::string::npos);
    std::filesystem::remove_all(dir);
}

} // namespace
} // namespace klv::dsc
