#include "platform/win32.h"

#include <atomic>

namespace {
thread_local DWORD tLastError = 0;
}

void SetLastError(DWORD error) {
    tLastError = error;
}

DWORD GetLastError() {
    return tLastError;
}

LONG InterlockedIncrement(volatile LONG* value) {
    return std::atomic_ref<LONG>(*const_cast<LONG*>(value)).fetch_add(1) + 1;
}

LONG InterlockedDecrement(volatile LONG* value) {
    return std::atomic_ref<LONG>(*const_cast<LONG*>(value)).fetch_sub(1) - 1;
}

LONG InterlockedCompareExchange(volatile LONG* destination, LONG exchange, LONG comparand) {
    std::atomic_ref<LONG>(*const_cast<LONG*>(destination)).compare_exchange_strong(comparand, exchange);
    return comparand;
}
