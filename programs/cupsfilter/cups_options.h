// What a CUPS job asks of klvps, read with libcups: the options argument
// through cupsParseOptions, and the queue's defaults from its PPD file (the
// *Default lines an administrator sets with lpadmin -o) through the PPD
// API. Each klvps- option is a row of the settings table (its cupsOption);
// values are parsed by the table's rules into typed settings, so a refusal
// reads as in every other front end, under the option's name.
#pragma once

#include "libraries/job/job.h"

#include <optional>
#include <string>
#include <vector>

namespace klv::cups {

struct JobOptions {
    std::vector<job::SettingValue> settings; // in table order
    sim::Paper paper = sim::Paper::kLetter;
    std::string paperName; // the size name the paper was taken from; empty: none given
};

// Reads the options argument over the defaults of the PPD file at ppdPath
// (none when empty). False with a message naming the option, or the PPD
// file when it cannot be read.
bool ReadJobOptions(const char* argument, const std::string& ppdPath, JobOptions* options,
                    std::string* error);

// The paper a PWG or PPD size name names: Letter, Legal, A4 and A3 by
// their PPD names (Letter, A4) and PWG names (na_letter_8.5x11in,
// iso_a4_210x297mm), each also with .Fullbleed; nullopt for any other.
std::optional<sim::Paper> PaperNamed(std::string_view name);

} // namespace klv::cups
