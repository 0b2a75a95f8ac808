// Checks of the built DLL kept beside dll_conformance_test.cpp, each
// counted with ok() and skip() (module/tests/conformance.h).
#pragma once

#include "platform/win32.h"

namespace klv::conformance {

// The version resource: fixed version numbers and the strings a file's
// properties show, read back through the module's resource calls, for the
// module named internalName (".dll" added) whose description names its role
// ("rendering plug-in").
void CheckVersionResource(HMODULE module, const wchar_t* internalName, const wchar_t* role);

// The accounting block bills the job the spooler reports: by the id the
// device's StartDoc gave, otherwise the last one listed. Needs the stand-in
// spooler (winspool.drv from rigs/winspool) loaded in place of the
// platform's, and fails when it is not.
void CheckSpoolerJobs(HMODULE module);

// What only a 32-bit x86 caller can see: stack cleanup of every call into
// the module, this-call status members, layouts as the platform compiler
// lays them out, and arithmetic under the caller's x87 precision. Skipped
// on other processors.
void CheckCallerSide32(HMODULE module);

} // namespace klv::conformance
