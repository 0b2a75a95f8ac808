#include "programs/cupsfilter/cups_options.h"

#include <algorithm>
#include <cctype>

namespace klv::cups {

namespace {

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

bool StartsWithNo(std::string_view name) {
    return name.size() > 2 && std::tolower(static_cast<unsigned char>(name[0])) == 'n' &&
           std::tolower(static_cast<unsigned char>(name[1])) == 'o';
}

// Reads a {...} collection, braces and nested collections included, as it
// stands; quotes inside it keep their backslashes.
std::string ReadCollection(std::string_view text, std::size_t& pos) {
    std::string value;
    int depth = 0;
    char quote = 0;
    while (pos < text.size()) {
        const char c = text[pos++];
        value += c;
        if (c == '\\' && pos < text.size()) {
            value += text[pos++];
        } else if (quote != 0) {
            if (c == quote)
                quote = 0;
        } else if (c == '\'' || c == '"') {
            quote = c;
        } else if (c == '{') {
            ++depth;
        } else if (c == '}' && --depth == 0) {
            break;
        }
    }
    return value;
}

// Reads a value up to unquoted whitespace, dropping quotes and escapes.
std::string ReadValue(std::string_view text, std::size_t& pos) {
    std::string value;
    while (pos < text.size() && !IsSpace(text[pos])) {
        const char c = text[pos++];
        if (c == '\\' && pos < text.size()) {
            value += text[pos++];
        } else if (c == '\'' || c == '"') {
            while (pos < text.size() && text[pos] != c) {
                if (text[pos] == '\\' && pos + 1 < text.size())
                    ++pos;
                value += text[pos++];
            }
            if (pos < text.size())
                ++pos; // the closing quote
        } else {
            value += c;
        }
    }
    return value;
}

void Add(std::vector<CupsOption>& options, std::string name, std::string value) {
    auto same =
        std::find_if(options.begin(), options.end(), [&](const CupsOption& o) { return o.name == name; });
    if (same != options.end())
        same->value = std::move(value);
    else
        options.push_back({std::move(name), std::move(value)});
}

} // namespace

std::vector<CupsOption> ParseCupsOptions(std::string_view text) {
    std::vector<CupsOption> options;
    std::size_t pos = 0;
    for (;;) {
        while (pos < text.size() && IsSpace(text[pos]))
            ++pos;
        const std::size_t nameStart = pos;
        while (pos < text.size() && !IsSpace(text[pos]) && text[pos] != '=')
            ++pos;
        std::string name(text.substr(nameStart, pos - nameStart));
        if (name.empty())
            break;
        while (pos < text.size() && IsSpace(text[pos]))
            ++pos;
        if (pos >= text.size() || text[pos] != '=') {
            if (StartsWithNo(name))
                Add(options, name.substr(2), "false");
            else
                Add(options, std::move(name), "true");
            continue;
        }
        ++pos; // '='
        std::string value =
            pos < text.size() && text[pos] == '{' ? ReadCollection(text, pos) : ReadValue(text, pos);
        Add(options, std::move(name), std::move(value));
    }
    return options;
}

} // namespace klv::cups
