#include "programs/cupsfilter/cups_options.h"

#include "libraries/settings/settings.h"

#include <cups/cups.h>
#include <cups/ppd.h>

#include <algorithm>
#include <cctype>
#include <memory>

// The PPD API is deprecated in favour of IPP Everywhere, but a queue made
// from a PPD keeps its defaults there, and this is how filters read them.
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"

namespace klv::cups {

namespace {

constexpr std::string_view kPrefix = "klvps-";

struct OptionsDeleter {
    int count;
    void operator()(cups_option_t* options) const { cupsFreeOptions(count, options); }
};

struct PpdDeleter {
    void operator()(ppd_file_t* ppd) const { ppdClose(ppd); }
};

bool StartsWithPrefix(const char* name) {
    std::string lower(name);
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower.rfind(kPrefix, 0) == 0;
}

std::string KnownOptions() {
    std::string known;
    for (const settings::Setting& s : settings::kSettings)
        known += std::string(known.empty() ? "" : ", ") + s.cupsOption;
    return known;
}

// The value a job option gives, else the PPD's default choice.
const char* ValueOf(const char* name, int count, cups_option_t* options, ppd_file_t* ppd) {
    if (const char* given = cupsGetOption(name, count, options))
        return given;
    if (ppd == nullptr)
        return nullptr;
    const ppd_option_t* option = ppdFindOption(ppd, name);
    return option != nullptr ? option->defchoice : nullptr;
}

// media may list a size, a source and a type; the size is the one named.
std::optional<sim::Paper> PaperOfMedia(const char* media, std::string* name) {
    std::string_view list(media);
    while (!list.empty()) {
        const std::size_t comma = list.find(',');
        const std::string_view item = list.substr(0, comma);
        if (const std::optional<sim::Paper> paper = PaperNamed(item)) {
            *name = std::string(item);
            return paper;
        }
        list = comma == std::string_view::npos ? std::string_view() : list.substr(comma + 1);
    }
    return std::nullopt;
}

} // namespace

std::optional<sim::Paper> PaperNamed(std::string_view name) {
    constexpr std::string_view kFullBleed = ".Fullbleed";
    if (name.ends_with(kFullBleed))
        name.remove_suffix(kFullBleed.size());
    struct Named {
        std::string_view ppd;
        std::string_view pwg;
        sim::Paper paper;
    };
    constexpr Named kPapers[] = {
        {"Letter", "na_letter_8.5x11in", sim::Paper::kLetter},
        {"Legal", "na_legal_8.5x14in", sim::Paper::kLegal},
        {"A4", "iso_a4_210x297mm", sim::Paper::kA4},
        {"A3", "iso_a3_297x420mm", sim::Paper::kA3},
    };
    for (const Named& n : kPapers) {
        if (name == n.ppd || name == n.pwg)
            return n.paper;
    }
    return std::nullopt;
}

bool ReadJobOptions(const char* argument, const std::string& ppdPath, JobOptions* out, std::string* error) {
    cups_option_t* parsed = nullptr;
    const int count = cupsParseOptions(argument, 0, &parsed);
    const std::unique_ptr<cups_option_t, OptionsDeleter> options(parsed, OptionsDeleter{count});

    std::unique_ptr<ppd_file_t, PpdDeleter> ppd;
    if (!ppdPath.empty()) {
        ppd.reset(ppdOpenFile(ppdPath.c_str()));
        if (!ppd) {
            int line = 0;
            const ppd_status_t status = ppdLastError(&line);
            *error = "the queue's PPD file " + ppdPath + " cannot be read: " + ppdErrorString(status) +
                     (line > 0 ? " (line " + std::to_string(line) + ")" : "");
            return false;
        }
    }

    for (int i = 0; i < count; ++i) {
        if (StartsWithPrefix(parsed[i].name) && settings::FindByCupsOption(parsed[i].name) == nullptr) {
            *error = std::string("unknown option ") + parsed[i].name + " (options: " + KnownOptions() + ")";
            return false;
        }
    }
    for (const settings::Setting& s : settings::kSettings) {
        const char* value = ValueOf(s.cupsOption, count, parsed, ppd.get());
        if (value == nullptr)
            continue;
        settings::Value typed;
        if (const settings::Refusal r = settings::Parse(s.id, value, &typed)) {
            *error = std::string(s.cupsOption) + ": " + settings::Describe(r);
            return false;
        }
        out->settings.push_back({s.id, std::move(typed)});
    }
    if (const settings::Refusal r = job::CheckSettings(out->settings)) {
        *error = std::string(settings::SettingOf(r.id).cupsOption) + ": " + settings::Describe(r);
        return false;
    }

    for (const char* name : {"PageSize", "PageRegion"}) {
        const char* size = ValueOf(name, count, parsed, nullptr);
        if (size != nullptr && PaperNamed(size)) {
            out->paper = *PaperNamed(size);
            out->paperName = size;
            return true;
        }
    }
    if (const char* media = cupsGetOption("media", count, parsed)) {
        if (const std::optional<sim::Paper> paper = PaperOfMedia(media, &out->paperName)) {
            out->paper = *paper;
            return true;
        }
    }
    if (const char* size = ValueOf("PageSize", 0, nullptr, ppd.get()); size != nullptr && PaperNamed(size)) {
        out->paper = *PaperNamed(size);
        out->paperName = size;
    }
    return true;
}

} // namespace klv::cups
