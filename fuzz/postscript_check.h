// Checks on PostScript text that every fuzz target shares. Each returns an
// empty string when the text is sound, else what is wrong with it.
#pragma once

#include <string>
#include <string_view>

namespace klv::fuzz {

// Every string literal in text is closed: parentheses inside it are
// balanced or escaped, and no backslash is left without the byte it
// escapes. Outside strings, a ')' has no opening partner and '%' starts a
// comment that runs to the end of its line.
inline std::string CheckPostScriptStrings(std::string_view text) {
    int depth = 0;
    bool comment = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (comment) {
            comment = c != '\n' && c != '\r';
            continue;
        }
        if (depth == 0) {
            if (c == '%')
                comment = true;
            else if (c == '(')
                depth = 1;
            else if (c == ')')
                return "a ')' outside any string at byte " + std::to_string(i);
            continue;
        }
        if (c == '\\') {
            if (i + 1 == text.size())
                return "a string ends on an unpaired backslash";
            ++i;
        } else if (c == '(') {
            ++depth;
        } else if (c == ')') {
            --depth;
        }
    }
    if (depth != 0)
        return "a string is left open at the end of the text";
    return {};
}

// The text, once wrapped in parentheses, is one closed PostScript string.
inline std::string CheckStringBody(std::string_view body) {
    return CheckPostScriptStrings("(" + std::string(body) + ")");
}

} // namespace klv::fuzz
