// Tests that run Ghostscript start with KLV_REQUIRE_GHOSTSCRIPT(), which
// skips the test with the reason when Ghostscript cannot be started. Their
// suites are named "...InInterpreter", which puts them under the "gs" label.
#pragma once

#include "libraries/ghostscript/ghostscript.h"

#include <gtest/gtest.h>

#include <string>

#define KLV_REQUIRE_GHOSTSCRIPT()                                                                            \
    do {                                                                                                     \
        std::string klvWhyNot;                                                                               \
        if (!::klv::gs::GhostscriptAvailable(&klvWhyNot))                                                    \
            GTEST_SKIP() << klvWhyNot;                                                                       \
    } while (0)
