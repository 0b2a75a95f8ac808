#include "libraries/job/text_pages.h"

#include "libraries/support/utf.h"

#include <cstdlib>

namespace klv::job {

namespace {

// Cuts one logical line (no line ends, tabs expanded) into pieces of at
// most `columns` characters.
void WrapLine(const std::u16string& line, size_t columns, std::vector<std::u16string>* out) {
    size_t start = 0;
    while (line.size() - start > columns) {
        size_t cut = line.rfind(u' ', start + columns);
        if (cut == std::u16string::npos || cut <= start)
            cut = start + columns;
        out->push_back(line.substr(start, cut - start));
        start = cut;
        while (start < line.size() && line[start] == u' ')
            ++start;
    }
    out->push_back(line.substr(start));
}

} // namespace

bool PaginateText(const std::string& utf8, int columns, int rows,
                  std::vector<std::vector<std::string>>* pages, std::string* error) {
    auto fail = [&](const std::string& why) {
        if (error != nullptr)
            *error = why;
        return false;
    };
    if (columns < 1 || rows < 1)
        return fail("the printable area holds no line of text");
    const std::u16string text = support::Utf8ToUtf16(utf8);
    if (support::Utf16ToUtf8(text) != utf8)
        return fail("the text is not valid UTF-8");

    pages->assign(1, {});
    auto newPage = [&] { pages->emplace_back(); };
    auto addLine = [&](const std::u16string& line) {
        if (static_cast<int>(pages->back().size()) == rows)
            newPage();
        pages->back().push_back(support::Utf16ToUtf8(line));
    };
    std::u16string line;
    auto endLine = [&] {
        std::vector<std::u16string> pieces;
        WrapLine(line, static_cast<size_t>(columns), &pieces);
        for (const std::u16string& piece : pieces)
            addLine(piece);
        line.clear();
    };
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
            continue;
        if (c == u'\n' || c == u'\r') {
            endLine();
        } else if (c == u'\f') {
            if (!line.empty())
                endLine();
            newPage();
        } else if (c == u'\t') {
            line.append(8 - line.size() % 8, u' ');
        } else {
            line.push_back(c);
        }
    }
    if (!line.empty())
        endLine();
    return true;
}

} // namespace klv::job
