#include "stops.h"

#include <cstdio>
#include <cstdlib>

namespace pe32::stops {

void Stop(const char* dll, const char* name) {
    std::fprintf(stderr, "pe32: %s!%s was called, which the loader does not provide\n", dll, name);
    std::fflush(stderr);
    std::_Exit(3);
}

} // namespace pe32::stops
