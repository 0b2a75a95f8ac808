#include "programs/klvps/check/report.h"

#include "programs/klvps/check/stand_in_printer.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace klv::check {

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

std::optional<std::string> FromHex(std::string_view hex) {
    if (hex.size() % 2 != 0)
        return std::nullopt;
    std::string bytes;
    for (size_t i = 0; i < hex.size(); i += 2) {
        const int hi = HexDigit(hex[i]), lo = HexDigit(hex[i + 1]);
        if (hi < 0 || lo < 0)
            return std::nullopt;
        bytes.push_back(static_cast<char>(hi * 16 + lo));
    }
    return bytes;
}

std::string ToHex(std::string_view bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (unsigned char c : bytes) {
        hex.push_back(digits[c >> 4]);
        hex.push_back(digits[c & 15]);
    }
    return hex;
}

// "s HEX", "n HEX" or "v TEXT".
std::optional<PsValue> ParseValue(std::string_view text) {
    if (text.size() < 2 || text[1] != ' ')
        return std::nullopt;
    const std::string_view rest = text.substr(2);
    PsValue v;
    switch (text[0]) {
    case 's':
    case 'n': {
        std::optional<std::string> bytes = FromHex(rest);
        if (!bytes)
            return std::nullopt;
        v.kind = text[0] == 's' ? PsValue::Kind::kString : PsValue::Kind::kName;
        v.bytes = std::move(*bytes);
        return v;
    }
    case 'v':
        v.bytes = std::string(rest);
        return v;
    default:
        return std::nullopt;
    }
}

// Splits "word rest" at the first space.
std::pair<std::string_view, std::string_view> SplitWord(std::string_view text) {
    const size_t space = text.find(' ');
    if (space == std::string_view::npos)
        return {text, {}};
    return {text.substr(0, space), text.substr(space + 1)};
}

// Applies one event; false when the line is not a well-formed event.
bool ApplyEvent(Received& r, std::string_view event) {
    const std::pair<std::string_view, std::string_view> split = SplitWord(event);
    const std::string_view word = split.first, rest = split.second;
    const std::optional<PsValue> value = ParseValue(rest);
    auto call = [&](Call& c) {
        c.ran = true;
        c.operand = value;
        return rest.empty() || value.has_value();
    };
    auto need = [&](std::optional<PsValue>& slot) {
        slot = value;
        return value.has_value();
    };
    if (word == "user")
        return call(r.user);
    if (word == "file")
        return call(r.file);
    if (word == "jobname")
        return call(r.jobName);
    if (word == "jobinfo")
        return r.jobInfo = true;
    if (word == "wm-defined") {
        r.watermark = WatermarkSeen{true, {}, {}, {}, {}, {}, r.watermark.pages};
        return true;
    }
    if (word == "wm-text")
        return need(r.watermark.text);
    if (word == "wm-font")
        return need(r.watermark.font);
    if (word == "wm-size")
        return need(r.watermark.size);
    if (word == "wm-angle")
        return need(r.watermark.angle);
    if (word == "wm-colour") {
        if (!value)
            return false;
        r.watermark.colour.push_back(value->bytes);
        return true;
    }
    if (word == "wm-invoked") {
        const int page = r.pages + 1;
        if (r.watermark.pages.empty() || r.watermark.pages.back() != page)
            r.watermark.pages.push_back(page);
        return true;
    }
    if (word == "page")
        return ++r.pages, true;
    if (word == "error-name" || word == "error-command") {
        if (!value)
            return false;
        if (!r.error)
            r.error = PsError{{}, {}, r.pages + 1};
        (word == "error-name" ? r.error->name : r.error->command) = value->bytes;
        return true;
    }
    if (word == "key") {
        const auto [name, keyValue] = SplitWord(rest);
        const std::optional<PsValue> v = ParseValue(keyValue);
        if (!v)
            return false;
        r.keys[std::string(name)] = *v;
        return true;
    }
    if (word == "patch-active")
        return r.patchActive = true;
    if (word == "done")
        return r.finished = true;
    return false;
}

// Number text as cvs writes it, as a JSON number when it reads as one.
nlohmann::ordered_json NumberJson(const std::string& text) {
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    if (text.empty() || end == nullptr || *end != '\0')
        return text;
    if (std::floor(v) == v && std::fabs(v) < 9e15)
        return static_cast<long long>(v);
    return v;
}

// The text of a received name in the code page, with control characters
// written as \xNN so that they show.
std::string Visible(const std::string& bytes, unsigned codePage) {
    std::string text = CodePageToUtf8(bytes, codePage).value_or(bytes);
    std::string out;
    for (unsigned char c : text) {
        if (c < 0x20 || c == 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
            out += escaped;
        } else {
            out.push_back(static_cast<char>(c));
        }
    }
    return out;
}

std::string ValueText(const PsValue& v, unsigned codePage) {
    if (v.kind == PsValue::Kind::kOther)
        return v.bytes;
    if (v.kind == PsValue::Kind::kString && v.bytes.empty())
        return "(empty)";
    return Visible(v.bytes, codePage);
}

nlohmann::ordered_json ValueJson(const std::optional<PsValue>& v, unsigned codePage) {
    if (!v)
        return nullptr;
    if (v->kind == PsValue::Kind::kOther) {
        if (v->bytes == "true" || v->bytes == "false")
            return v->bytes == "true";
        return NumberJson(v->bytes);
    }
    return {{"text", CodePageToUtf8(v->bytes, codePage).value_or(v->bytes)}, {"bytes", ToHex(v->bytes)}};
}

std::string CallText(const Call& c, unsigned codePage) {
    if (!c.ran)
        return "(not called)";
    if (!c.operand)
        return "(called without an operand)";
    return ValueText(*c.operand, codePage);
}

nlohmann::ordered_json CallJson(const Call& c, unsigned codePage) {
    if (!c.ran)
        return nullptr;
    return c.operand ? ValueJson(c.operand, codePage) : nlohmann::ordered_json("");
}

std::optional<PsValue> Key(const Received& r, const std::string& name) {
    const auto found = r.keys.find(name);
    if (found == r.keys.end())
        return std::nullopt;
    return found->second;
}

bool KeyIsTrue(const Received& r, const std::string& name) {
    const std::optional<PsValue> v = Key(r, name);
    return v && v->kind == PsValue::Kind::kOther && v->bytes == "true";
}

std::string Join(const std::vector<std::string>& parts, const std::string& separator) {
    std::string out;
    for (const std::string& p : parts)
        out += (out.empty() ? "" : separator) + p;
    return out;
}

// Colour components 0 to 1 as 8-bit values.
std::vector<int> ColourBytes(const std::vector<std::string>& colour) {
    std::vector<int> out;
    for (const std::string& c : colour)
        out.push_back(static_cast<int>(std::lround(std::clamp(std::atof(c.c_str()), 0.0, 1.0) * 255)));
    return out;
}

std::string PageList(const std::vector<int>& pages) {
    std::vector<std::string> parts;
    for (int p : pages)
        parts.push_back(std::to_string(p));
    return Join(parts, ", ");
}

std::string Verdict(const Received& r, const Outcome& o) {
    if (o.timedOut) {
        std::ostringstream s;
        s << "no: stopped after " << o.timeoutSeconds << " seconds (the job did not end)";
        return s.str();
    }
    if (r.error)
        return "no: PostScript error /" + r.error->name + " in " + r.error->command + " on page " +
               std::to_string(r.error->page);
    if (!r.finished)
        return "no: the job ended the interpreter before its end (exit status " +
               std::to_string(o.exitStatus) + ")";
    if (o.exitStatus != 0)
        return "no: Ghostscript exited with status " + std::to_string(o.exitStatus);
    return "yes";
}

} // namespace

Received ParseEvents(std::string_view output) {
    Received r;
    size_t start = 0;
    while (start < output.size()) {
        size_t end = output.find('\n', start);
        if (end == std::string_view::npos)
            end = output.size();
        std::string_view line = output.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        const size_t tag = line.find(kEventTag);
        if (tag != std::string_view::npos && ApplyEvent(r, line.substr(tag + kEventTag.size()))) {
            if (tag > 0)
                r.unknown.emplace_back(line.substr(0, tag));
            continue;
        }
        if (!line.empty())
            r.unknown.emplace_back(line);
    }
    return r;
}

bool RanClean(const Received& r, const Outcome& o) {
    return !o.timedOut && !r.error && r.finished && o.exitStatus == 0;
}

std::optional<std::string> CodePageToUtf8(std::string_view bytes, unsigned codePage) {
    iconv_t cd = reinterpret_cast<iconv_t>(-1);
    for (const char* pattern : {"CP%u", "WINDOWS-%u"}) {
        char name[32];
        std::snprintf(name, sizeof name, pattern, codePage);
        cd = iconv_open("UTF-8", name);
        if (cd != reinterpret_cast<iconv_t>(-1))
            break;
    }
    if (cd == reinterpret_cast<iconv_t>(-1))
        return std::nullopt;
    std::string out;
    std::string in(bytes);
    char* inPtr = in.data();
    size_t inLeft = in.size();
    char buffer[256];
    while (inLeft > 0) {
        char* outPtr = buffer;
        size_t outLeft = sizeof buffer;
        const size_t done = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
        out.append(buffer, static_cast<size_t>(outPtr - buffer));
        if (done == static_cast<size_t>(-1) && errno != E2BIG) {
            // A byte the code page does not define, or a cut sequence.
            out += "\xEF\xBF\xBD";
            ++inPtr;
            --inLeft;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
    iconv_close(cd);
    return out;
}

std::string ReportText(const Received& r, const Outcome& o, unsigned codePage) {
    std::ostringstream s;
    auto line = [&](const std::string& label, const std::string& value) {
        s << label << std::string(label.size() < 22 ? 22 - label.size() : 1, ' ') << value << "\n";
    };
    line("ran clean:", Verdict(r, o));
    line("pages:", std::to_string(r.pages));
    s << "accounting (code page " << codePage << "):\n";
    line("  user name:", CallText(r.user, codePage));
    line("  file name:", CallText(r.file, codePage));
    line("  job name:", CallText(r.jobName, codePage));
    line("  logjobinfo ran:", r.jobInfo ? "yes" : "no");
    s << "job ticket:\n";
    const std::optional<PsValue> nt = Key(r, "kelvo$NT");
    line("  kelvo$NT:", nt ? ValueText(*nt, codePage) : "(not set)");
    const std::optional<PsValue> password = Key(r, "kelvo$jobpassword");
    line("  password:", password ? ValueText(*password, codePage) : "(not set)");
    const std::optional<PsValue> jobName = Key(r, "kelvo$jobname");
    line("  job name:", jobName ? ValueText(*jobName, codePage) : "(not set)");
    const std::optional<PsValue> flip = Key(r, "kelvo$flip");
    line("flip key:", flip ? "set (" + ValueText(*flip, codePage) + ")" : "not set");
    line("origin patch:", r.patchActive                  ? "installed"
                          : Key(r, "klvdef").has_value() ? "defined but not in use"
                                                         : "not installed");
    s << "watermark:\n";
    const WatermarkSeen& w = r.watermark;
    line("  DrawWaterMark:", w.defined || Key(r, "DrawWaterMark") ? "defined" : "not defined");
    if (w.defined) {
        auto show = [&](const std::optional<PsValue>& v) {
            return v ? ValueText(*v, codePage) : "(missing)";
        };
        line("  text:", show(w.text));
        line("  font:", show(w.font));
        line("  size:", show(w.size));
        std::string colour = w.colour.empty() ? "(missing)" : Join(w.colour, " ");
        if (w.colour.size() == 3) {
            const std::vector<int> rgb = ColourBytes(w.colour);
            colour += " (R,G,B " + std::to_string(rgb[0]) + "," + std::to_string(rgb[1]) + "," +
                      std::to_string(rgb[2]) + ")";
        }
        line("  colour:", colour);
        line("  angle:", show(w.angle));
    }
    line("  invoked on:", std::to_string(w.pages.size()) + " of " + std::to_string(r.pages) + " pages" +
                              (w.pages.empty() ? "" : " (" + PageList(w.pages) + ")"));
    if (r.error) {
        s << "PostScript error:\n";
        line("  name:", "/" + r.error->name);
        line("  command:", r.error->command);
        line("  page:", std::to_string(r.error->page));
    }
    if (!r.unknown.empty()) {
        s << "other output of the interpreter:\n";
        for (const std::string& l : r.unknown)
            s << "  " << l << "\n";
    }
    return s.str();
}

nlohmann::ordered_json ReportJson(const Received& r, const Outcome& o, unsigned codePage) {
    using json = nlohmann::ordered_json;
    json out;
    out["clean"] = RanClean(r, o);
    out["timedOut"] = o.timedOut;
    out["finished"] = r.finished;
    out["pages"] = r.pages;
    out["codePage"] = codePage;
    out["accounting"] = {{"user", CallJson(r.user, codePage)},
                         {"file", CallJson(r.file, codePage)},
                         {"jobName", CallJson(r.jobName, codePage)},
                         {"jobInfo", r.jobInfo}};
    out["ticket"] = {{"nt", ValueJson(Key(r, "kelvo$NT"), codePage)},
                     {"password", ValueJson(Key(r, "kelvo$jobpassword"), codePage)},
                     {"jobName", ValueJson(Key(r, "kelvo$jobname"), codePage)}};
    out["flip"] = KeyIsTrue(r, "kelvo$flip");
    out["originPatch"] = r.patchActive;
    const WatermarkSeen& w = r.watermark;
    json watermark = {{"defined", w.defined || Key(r, "DrawWaterMark").has_value()}};
    if (w.defined) {
        watermark["text"] = ValueJson(w.text, codePage);
        watermark["font"] = w.font ? json(w.font->bytes) : json(nullptr);
        watermark["size"] = w.size ? NumberJson(w.size->bytes) : json(nullptr);
        json colour = json::array();
        for (const std::string& c : w.colour)
            colour.push_back(NumberJson(c));
        watermark["colour"] = colour;
        if (w.colour.size() == 3) {
            const std::vector<int> rgb = ColourBytes(w.colour);
            watermark["rgb"] = {{"red", rgb[0]}, {"green", rgb[1]}, {"blue", rgb[2]}};
        }
        watermark["angle"] = w.angle ? NumberJson(w.angle->bytes) : json(nullptr);
    }
    watermark["pages"] = w.pages;
    out["watermark"] = watermark;
    out["error"] = r.error
                       ? json{{"name", r.error->name}, {"command", r.error->command}, {"page", r.error->page}}
                       : json(nullptr);
    out["otherOutput"] = r.unknown;
    return out;
}

} // namespace klv::check
