// The watermark procedure: the DrawWaterMark template resource filled from
// the private device mode, and the per-page invocation resource.
#pragma once

#include "platform/win32.h"

namespace klv {

// Bytes of the module's PostScript resource id, owned by the module (never
// freed), or null. *outSize receives the size on success only.
const BYTE* LoadPsResource(HMODULE module, WORD id, DWORD* outSize);

// The filled DrawWaterMark procedure as a terminated text allocated with
// new[] (the caller deletes it with delete[]), or null when the watermark is
// off, an input is missing or the template cannot be had. *outLength
// receives its length without the terminator.
char* BuildWatermarkProcset(const BYTE* devMode, HMODULE module, DWORD* outLength);

// Loads the template and fills its five inserts.
char* FillPsTemplate(DWORD* outLength, HMODULE module, const char* text, DWORD size, const char* colour,
                     const char* angle, const char* font);

} // namespace klv
