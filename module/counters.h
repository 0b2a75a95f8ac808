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

// Decrements refCount and returns what is left; at zero the caller must
// destroy the object. The object must not be read after a non-zero result:
// another thread may release and destroy it at any time.
inline ULONG ReleaseCount(volatile LONG& refCount) {
    return static_cast<ULONG>(InterlockedDecrement(&refCount));
}

// Reads a counter that other threads change through interlocked calls.
inline LONG ReadCount(volatile LONG& counter) {
    return InterlockedCompareExchange(&counter, 0, 0);
}

} // namespace klv
