// Switches the host's ANSI code page between runs of a fuzz target, only
// when it changes: opening the converter costs more than a run.
#pragma once

#include "fuzz/fuzz_check.h"
#include "platform/host/host.h"

namespace klv::fuzz {

inline void UseAnsiCodePage(UINT codePage) {
    static UINT current = 0;
    if (codePage == current)
        return;
    KLV_FUZZ_CHECK(host::SetAnsiCodePage(codePage),
                   "code page " + std::to_string(codePage) + " not available");
    current = codePage;
}

} // namespace klv::fuzz
