#include "libraries/job/variables.h"

#include "libraries/support/utf.h"

#include <cstdio>

namespace klv::job {

namespace {

std::string LocalTime(std::time_t when, const char* format) {
    std::tm parts{};
    localtime_r(&when, &parts);
    char text[32];
    return std::strftime(text, sizeof text, format, &parts) > 0 ? text : "";
}

// The value of a variable by its name (without braces); false when there
// is no such variable.
bool ValueOf(const std::string& name, const JobFacts& facts, std::string* value) {
    if (name == "user")
        *value = facts.user;
    else if (name == "title")
        *value = facts.title;
    else if (name == "job-id")
        *value = std::to_string(facts.jobId);
    else if (name == "printer")
        *value = facts.printer;
    else if (name == "date")
        *value = LocalTime(facts.when, "%Y-%m-%d");
    else if (name == "time")
        *value = LocalTime(facts.when, "%H:%M:%S");
    else
        return false;
    return true;
}

} // namespace

bool HasVariables(const std::u16string& text) {
    return text.find_first_of(u"{}") != std::u16string::npos;
}

Expansion ExpandVariables(const std::u16string& text, const JobFacts& facts) {
    Expansion out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if ((c == u'{' || c == u'}') && i + 1 < text.size() && text[i + 1] == c) {
            out.text.push_back(c);
            ++i;
            continue;
        }
        if (c == u'}') {
            out.unknown = "}";
            return out;
        }
        if (c != u'{') {
            out.text.push_back(c);
            continue;
        }
        const std::size_t close = text.find(u'}', i + 1);
        const std::u16string name = text.substr(i + 1, close == std::u16string::npos ? close : close - i - 1);
        std::string value;
        if (close == std::u16string::npos || !ValueOf(support::Utf16ToUtf8(name), facts, &value)) {
            out.unknown = "{" + support::Utf16ToUtf8(name) + (close == std::u16string::npos ? "" : "}");
            return out;
        }
        out.text += support::Utf8ToUtf16(value);
        i = close;
    }
    out.ok = true;
    return out;
}

} // namespace klv::job
