// Runs a test under a C runtime locale whose decimal separator is a comma,
// as an application that loads the plug-in may set it for its own use.
//
//   klv::testing::CommaDecimalLocale locale;
//   if (!locale.Active())
//       GTEST_SKIP() << locale.Why();
//   ... // printf("%.2f", 0.5) now gives "0,50"
#pragma once

#include <optional>
#include <string>

namespace klv::testing {

class CommaDecimalLocale {
public:
    // Switches LC_ALL to an installed comma-decimal locale, else to one
    // generated once per process with localedef into a temporary directory
    // (found through LOCPATH).
    CommaDecimalLocale();
    // Restores the previous locale and LOCPATH.
    ~CommaDecimalLocale();
    CommaDecimalLocale(const CommaDecimalLocale&) = delete;
    CommaDecimalLocale& operator=(const CommaDecimalLocale&) = delete;

    bool Active() const { return active_; }
    // Why no such locale could be had, when it could not.
    const std::string& Why() const { return why_; }

private:
    bool active_ = false;
    std::string why_;
    std::string previousLocale_;
    std::optional<std::string> previousLocPath_;
};

} // namespace klv::testing
