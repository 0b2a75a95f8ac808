// The check vocabulary of a DLL's conformance program, in the style of the
// platform's own DLL tests, for every DLL klvps builds:
//
//   ok(module != nullptr, "klvps.dll not loaded (error %lu)", GetLastError());
//   if (!ok(found != nullptr, "resource %u not found", id))
//       return;
//   if (!HaveWhatTheCheckNeeds())
//       skip("no German locale in this C runtime");
//   return klv::conformance::Finish("dll");
//
// ok() counts one check, passed when its condition holds, and prints
// "FILE:LINE: Test failed: MESSAGE" when it does not; it returns the
// condition. skip() prints "FILE:LINE: Tests skipped: MESSAGE" for checks
// the program could not run here and counts them apart. Finish() prints the closing line, "NAME: N passed, M
// failed" (with ", K skipped" when something was), which scripts/wine-test and scripts/pe32-test read, and
// returns the program's exit status: 0 only when no check failed. Messages take printf formats and no
// trailing newline.
#pragma once

#include <cstdarg>
#include <cstdio>

namespace klv::conformance {

struct Counts {
    int passed = 0;
    int failed = 0;
    int skipped = 0;
};

// One set of counts for the whole program, whichever file checks.
inline Counts gCounts;

inline void PrintMessage(const char* file, int line, const char* what, const char* format,
                         va_list arguments) {
    std::printf("%s:%d: %s: ", file, line, what);
    std::vprintf(format, arguments);
    std::printf("\n");
}

__attribute__((format(printf, 4, 5))) inline bool Ok(bool condition, const char* file, int line,
                                                     const char* format, ...) {
    if (condition) {
        ++gCounts.passed;
        return true;
    }
    ++gCounts.failed;
    va_list arguments;
    va_start(arguments, format);
    PrintMessage(file, line, "Test failed", format, arguments);
    va_end(arguments);
    return false;
}

__attribute__((format(printf, 3, 4))) inline void Skip(const char* file, int line, const char* format, ...) {
    ++gCounts.skipped;
    va_list arguments;
    va_start(arguments, format);
    PrintMessage(file, line, "Tests skipped", format, arguments);
    va_end(arguments);
}

inline int Finish(const char* program) {
    if (gCounts.skipped > 0)
        std::printf("%s: %d passed, %d failed, %d skipped\n", program, gCounts.passed, gCounts.failed,
                    gCounts.skipped);
    else
        std::printf("%s: %d passed, %d failed\n", program, gCounts.passed, gCounts.failed);
    return gCounts.failed == 0 ? 0 : 1;
}

} // namespace klv::conformance

#define ok(condition, ...)                                                                                   \
    ::klv::conformance::Ok(static_cast<bool>(condition), __FILE__, __LINE__, __VA_ARGS__)
#define skip(...) ::klv::conformance::Skip(__FILE__, __LINE__, __VA_ARGS__)
