// UTF-8 and UTF-16 for the host programs: device-mode strings and spooler
// records are UTF-16, what people type and files hold is UTF-8.
#pragma once

#include <string>

namespace klv::support {

// Invalid sequences (overlong forms, surrogates, values above U+10FFFF,
// cut-off sequences) become U+FFFD.
std::u16string Utf8ToUtf16(const std::string& text);
// A lone surrogate becomes U+FFFD.
std::string Utf16ToUtf8(const std::u16string& text);

} // namespace klv::support
