// PostScript string literals for the text the simulator draws.
#include "libraries/simulator/simulator.h"

#include <cstdio>

namespace klv::sim {

using support::Utf8ToUtf16;

std::string PsString(const std::string& utf8) {
    std::string out = "(";
    for (char16_t unit : Utf8ToUtf16(utf8)) {
        const unsigned value = unit < 0x100 ? unit : '?';
        if (value == '(' || value == ')' || value == '\\') {
            out.push_back('\\');
            out.push_back(static_cast<char>(value));
        } else if (value < 0x20 || value >= 0x7F) {
            char octal[5];
            std::snprintf(octal, sizeof octal, "\\%03o", value);
            out += octal;
        } else {
            out.push_back(static_cast<char>(value));
        }
    }
    out.push_back(')');
    return out;
}

} // namespace klv::sim
