// The pages `klvps preview --pages` renders.
#pragma once

#include <string>
#include <vector>

namespace klv::cli {

// A page list such as "1-3,5" with pages from 1; false with a message when
// it is malformed or a range runs backwards.
bool ParsePageRange(const std::string& text, std::vector<int>* pages, std::string* error);

} // namespace klv::cli
