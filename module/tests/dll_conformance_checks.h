// Checks of the built DLL kept beside dll_conformance_test.cpp: each adds
// its results to the program's counts and prints one line per failure.
#pragma once

#include "platform/win32.h"

namespace klv::conformance {

class Tally {
public:
    Tally(int& passed, int& failed) : passed_(passed), failed_(failed) {}
    __attribute__((format(printf, 5, 6))) void Check(bool condition, const char* file, int line,
                                                     const char* format, ...);

private:
    int& passed_;
    int& failed_;
};

#define KLV_CHECK(tally, condition, ...) (tally).Check((condition), __FILE__, __LINE__, __VA_ARGS__)

// The version resource: fixed version numbers and the strings a file's
// properties show, read back through the module's resource calls, for the
// module named internalName (".dll" added) whose description names its role
// ("rendering plug-in").
void CheckVersionResource(HMODULE module, const wchar_t* internalName, const wchar_t* role, int& passed,
                          int& failed);

// The accounting block bills the job the spooler reports: by the id the
// device's StartDoc gave, otherwise the last one listed. Needs the stand-in
// spooler (winspool.drv from rigs/winspool) loaded in place of the
// platform's, and fails when it is not.
void CheckSpoolerJobs(HMODULE module, int& passed, int& failed);

// What only a 32-bit x86 caller can see: stack cleanup of every call into
// the module, this-call status members, layouts as the platform compiler
// lays them out, and arithmetic under the caller's x87 precision. Does
// nothing on other processors.
void CheckCallerSide32(HMODULE module, int& passed, int& failed);

} // namespace klv::conformance
