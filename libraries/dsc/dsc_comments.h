// What a line of a DSC job is, as far as the DSC pass cares.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace klv::dsc {

enum class LineKind {
    kBeginData,       // %%BeginData: count [type [Bytes|Lines]]
    kBeginBinary,     // %%BeginBinary: count
    kBeginDocument,   // %%BeginDocument
    kEndDocument,     // %%EndDocument
    kEndComments,     // %%EndComments
    kBeginProlog,     // %%BeginProlog
    kEndProlog,       // %%EndProlog
    kBeginSetup,      // %%BeginSetup
    kPage,            // %%Page:
    kEndPageComments, // %%EndPageComments
    kBeginPageSetup,  // %%BeginPageSetup
    kTrailer,         // %%Trailer
    kEof,             // %%EOF
    kStructure,       // any other %%Begin..., %%End..., %%Include... or %%PageTrailer
    kComment,         // any other comment: '%' and a visible character
    kOther,           // code, blank lines, bare '%'
};

// line is without its line ending.
LineKind ClassifyLine(std::string_view line);

// The line without its line ending.
std::string_view WithoutEnding(std::string_view line);

// The job's first line: any job language prefix (^D, the universal exit
// language sequence) followed by "%!PS-Adobe-".
bool IsDscHeaderLine(std::string_view line);

// A line that may stand before the %!PS-Adobe- line: a print job language
// command, a universal exit language sequence, ^D or a blank line.
bool IsJobLanguageLine(std::string_view line);

// A line that ends a job in a job language wrapper: ^D or a universal exit
// language sequence first.
bool IsJobEndLine(std::string_view line);

// The size of a data section: a count of bytes, or of lines.
struct DataCount {
    std::uint64_t count = 0;
    bool lines = false;
};

// Parses %%BeginData: and %%BeginBinary: lines; nothing when the count is
// missing or unreadable.
std::optional<DataCount> ParseDataCount(std::string_view line, LineKind kind);

// The value of a %%Pages: header comment; nothing for (atend) or when it is
// not a number.
std::optional<long> ParsePagesComment(std::string_view line);

} // namespace klv::dsc
