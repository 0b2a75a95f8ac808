#include "libraries/dsc/dsc_comments.h"

#include <charconv>

namespace klv::dsc {

namespace {

// The keyword followed by the end of the line, a blank or a colon, so that
// "%%EndProlog" does not also match "%%EndPrologue".
bool IsKeyword(std::string_view line, std::string_view keyword) {
    if (!line.starts_with(keyword))
        return false;
    if (line.size() == keyword.size())
        return true;
    const char next = line[keyword.size()];
    return next == ' ' || next == '\t' || next == ':';
}

std::string_view SkipBlanks(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    return text;
}

std::string_view NextWord(std::string_view* text) {
    *text = SkipBlanks(*text);
    std::size_t n = 0;
    while (n < text->size() && (*text)[n] != ' ' && (*text)[n] != '\t')
        ++n;
    std::string_view word = text->substr(0, n);
    text->remove_prefix(n);
    return word;
}

template <typename Number> std::optional<Number> ParseNumber(std::string_view word) {
    Number value{};
    const auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), value);
    if (ec != std::errc() || end != word.data() + word.size() || word.empty())
        return std::nullopt;
    return value;
}

constexpr std::string_view kUniversalExit = "\x1b%-12345X";

} // namespace

std::string_view WithoutEnding(std::string_view line) {
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.remove_suffix(1);
    return line;
}

LineKind ClassifyLine(std::string_view line) {
    struct Keyword {
        std::string_view text;
        LineKind kind;
    };
    static constexpr Keyword kKeywords[] = {
        {"%%BeginData", LineKind::kBeginData},
        {"%%BeginBinary", LineKind::kBeginBinary},
        {"%%BeginDocument", LineKind::kBeginDocument},
        {"%%EndDocument", LineKind::kEndDocument},
        {"%%EndComments", LineKind::kEndComments},
        {"%%BeginProlog", LineKind::kBeginProlog},
        {"%%EndProlog", LineKind::kEndProlog},
        {"%%BeginSetup", LineKind::kBeginSetup},
        {"%%Page", LineKind::kPage}, // only with its colon, checked below
        {"%%EndPageComments", LineKind::kEndPageComments},
        {"%%BeginPageSetup", LineKind::kBeginPageSetup},
        {"%%Trailer", LineKind::kTrailer},
        {"%%EOF", LineKind::kEof},
        {"%%PageTrailer", LineKind::kStructure},
    };
    if (line.size() < 2 || line[0] != '%')
        return LineKind::kOther;
    for (const Keyword& k : kKeywords) {
        if (!IsKeyword(line, k.text))
            continue;
        if (k.kind == LineKind::kPage && !line.starts_with("%%Page:"))
            continue;
        return k.kind;
    }
    if (line.starts_with("%%Begin") || line.starts_with("%%End") || line.starts_with("%%Include"))
        return LineKind::kStructure;
    const unsigned char second = static_cast<unsigned char>(line[1]);
    return second > ' ' && second < 0x7F ? LineKind::kComment : LineKind::kOther;
}

bool IsDscHeaderLine(std::string_view line) {
    for (;;) {
        if (line.starts_with('\x04'))
            line.remove_prefix(1);
        else if (line.starts_with(kUniversalExit))
            line.remove_prefix(kUniversalExit.size());
        else
            break;
    }
    return line.starts_with("%!PS-Adobe-");
}

bool IsJobLanguageLine(std::string_view line) {
    line = WithoutEnding(line);
    if (line.starts_with('\x04') || line.starts_with('\x1b') || line.starts_with("@PJL"))
        return true;
    return line.find_first_not_of(" \t\f") == std::string_view::npos;
}

bool IsJobEndLine(std::string_view line) {
    return line.starts_with('\x04') || line.starts_with(kUniversalExit);
}

std::optional<DataCount> ParseDataCount(std::string_view line, LineKind kind) {
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos)
        return std::nullopt;
    std::string_view rest = line.substr(colon + 1);
    const std::optional<std::uint64_t> count = ParseNumber<std::uint64_t>(NextWord(&rest));
    if (!count)
        return std::nullopt;
    DataCount result{*count, false};
    if (kind == LineKind::kBeginData) {
        NextWord(&rest); // the type: Hex, Binary or ASCII
        result.lines = NextWord(&rest) == "Lines";
    }
    return result;
}

std::optional<long> ParsePagesComment(std::string_view line) {
    if (!line.starts_with("%%Pages:"))
        return std::nullopt;
    std::string_view rest = line.substr(8);
    return ParseNumber<long>(NextWord(&rest));
}

} // namespace klv::dsc
