// Process-wide counters that decide whether the module may be unloaded.
#pragma once

#include "platform/win32.h"

namespace klv {

extern volatile LONG gObjectCount; // live RenderPlugin objects
extern volatile LONG gLockCount;   // outstanding IClassFactory::LockServer locks

// Reference counting shared by the module's COM objects.
inline ULONG AddRefCount(volatile LONG& refCount) {
    return static_cast<ULONG>(InterlockedIncrement(&refCount));
}

// Decrements refCount; true when it reached zero and the caller must destroy
// the object.
inline bool ReleaseCount(volatile LONG& refCount) {
    return InterlockedDecrement(&refCount) == 0;
}

} // namespace klv
