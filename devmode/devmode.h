// The plug-in's private device mode: a 1768-byte settings block that the
// driver stores with its own device mode. Its byte layout is in
// devmode/layout.h.
#pragma once

#include "platform/printoem.h"

namespace klv {

// Answers IPrintOemPS::DevMode and IPrintOemUI::DevMode: size, defaults,
// conversion and merge. Both plug-ins answer with this one function, so the
// block the user interface writes is the block the renderer reads.
HRESULT HandleDevMode(DWORD mode, POEMDMPARAM param);

// Answers GetInfo for both plug-ins: the block's signature and version (the
// driver pairs the two plug-ins' blocks by them).
HRESULT HandleGetInfo(DWORD mode, PVOID buffer, DWORD size, PDWORD needed);

// Writes the default value of every defaulted field of the block; the job
// name, job password and opaque regions keep what they held.
void ApplyDevModeDefaults(void* block);

// Brings output up to the current layout from input: a block of the same
// signature is copied over it (at most the smaller of the two sizes and
// never more than one full block), a foreign one leaves the defaults.
// False, and nothing written, when either block is missing.
bool ConvertDevMode(const void* input, void* output);

// Rewrites the header and limits sSelection to at most 2. False for a
// missing block.
bool ValidateDevMode(void* block);

} // namespace klv
