#include "programs/klvps/page_range.h"

#include <cstdlib>

namespace klv::cli {

bool ParsePageRange(const std::string& text, std::vector<int>* pages, std::string* error) {
    auto fail = [&] {
        if (error != nullptr)
            *error = "'" + text + "' is not a page list such as 1-3,5 (pages from 1)";
        return false;
    };
    auto number = [](const std::string& part, int* value) {
        if (part.empty() || part.size() > 6 || part.find_first_not_of("0123456789") != std::string::npos)
            return false;
        *value = std::atoi(part.c_str());
        return *value >= 1;
    };
    pages->clear();
    size_t start = 0;
    while (start <= text.size()) {
        const size_t comma = text.find(',', start);
        const std::string part =
            text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        const size_t dash = part.find('-');
        int first = 0, last = 0;
        if (dash == std::string::npos) {
            if (!number(part, &first))
                return fail();
            last = first;
        } else if (!number(part.substr(0, dash), &first) || !number(part.substr(dash + 1), &last) ||
                   last < first) {
            return fail();
        }
        for (int p = first; p <= last; ++p)
            pages->push_back(p);
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    return !pages->empty() || fail();
}

} // namespace klv::cli
