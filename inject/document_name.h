// The document name of the last job looked up in this process. Jobs of
// several devices may be rendered at once, so the name is only touched
// under its lock; each device also keeps the name its own job used.
#pragma once

#include "hooks/device_state.h"
#include "platform/win32.h"

namespace klv {

// The process-wide name, kDocumentNameChars units of which at most 127
// characters are kept. Use only while holding gDocumentNameLock.
extern WCHAR gDocumentName[kDocumentNameChars];

// Takes a document name from a spooler record: at most 127 characters, then
// cleaned. A null name keeps the previous one, which is cleaned again. The
// cleaned name is copied to out (kDocumentNameChars units).
void StoreDocumentName(const WCHAR* document, WCHAR* out);

// A copy of the process-wide name (kDocumentNameChars units).
void CopyDocumentName(WCHAR* out);

// Removes a path (everything up to the last backslash) and then a word
// processor's title prefix with everything before it, in place.
void CleanDocumentName(WCHAR* name);

} // namespace klv
