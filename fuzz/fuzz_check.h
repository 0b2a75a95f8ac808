// How a fuzz target reports a broken invariant: a message, then abort(), so
// libFuzzer keeps the input as a crash.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

#define KLV_FUZZ_CHECK(condition, message)                                                                   \
    do {                                                                                                     \
        if (!(condition)) {                                                                                  \
            std::fprintf(stderr, "invariant broken at %s:%d: %s (%s)\n", __FILE__, __LINE__, #condition,     \
                         std::string(message).c_str());                                                      \
            std::abort();                                                                                    \
        }                                                                                                    \
    } while (false)
