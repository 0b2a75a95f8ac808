// The klvps-* options of a CUPS job as settings of the plug-in's private
// device mode. Each value is checked by the same field rules as
// `klvps devmode set`; a bad one is refused with a message that names the
// option and its limit.
//
//   klvps-watermark        text of the watermark, which turns it on; true
//                          turns it on with the text already set, and
//                          false, none or an empty value turn it off
//   klvps-watermark-angle  degrees, -32768 to 32767
//   klvps-watermark-color  R,G,B (0 to 255 each), #RRGGBB or RRGGBB
//   klvps-watermark-size   points, 1 to 2147483647
//   klvps-watermark-font   a PostScript font name
//   klvps-full-page        boolean
//   klvps-flip             boolean
//   klvps-job-name         up to 80 characters
//   klvps-job-password     up to 4 characters
// Booleans are true, yes, on or 1, and false, no, off or 0, in any case.
#pragma once

#include "programs/cupsfilter/cups_options.h"

#include <cstdint>
#include <istream>
#include <string>
#include <vector>

namespace klv::cups {

// Applies the klvps-* options among options to block, in order; all other
// options belong to other filters and are ignored. Returns false with a
// message at the first bad option, block then holding the options before it.
bool ApplyJobOptions(std::vector<std::uint8_t>& block, const std::vector<CupsOption>& options,
                     std::string* error);

// The klvps-* defaults of a PPD file ("*Defaultklvps-flip: True" gives
// klvps-flip=True), which a queue's administrator sets with lpadmin.
std::vector<CupsOption> PpdDefaults(std::istream& ppd);

// given over defaults: an option in both takes the value given.
std::vector<CupsOption> MergeOptions(std::vector<CupsOption> defaults, const std::vector<CupsOption>& given);

// Whether the options ask for anything of the device mode.
bool HasJobOptions(const std::vector<CupsOption>& options);

} // namespace klv::cups
