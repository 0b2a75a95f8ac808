// The options argument of a CUPS filter, read as the print server writes
// it: whitespace-separated name=value pairs, values optionally quoted with
// ' or " and with backslash escapes, {...} collections kept whole, and a
// bare name as a boolean ("flip" is flip=true, "noflip" is flip=false).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace klv::cups {

struct CupsOption {
    std::string name;
    std::string value;
    bool operator==(const CupsOption&) const = default;
};

// The options in the order given; a later option of the same name replaces
// an earlier one's value in place.
std::vector<CupsOption> ParseCupsOptions(std::string_view text);

} // namespace klv::cups
