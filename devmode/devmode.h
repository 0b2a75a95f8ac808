// The plug-in's private device mode: a 1768-byte settings block that the
// driver stores with its own device mode.
#pragma once

#include "platform/printoem.h"

namespace klv {

// Answers IPrintOemPS::DevMode: size, defaults, conversion and merge.
HRESULT HandleDevMode(DWORD mode, POEMDMPARAM param);

} // namespace klv
