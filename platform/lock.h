// A process-wide lock that needs no construction at load time: a static
// Lock is ready before any code runs, on every platform.
#pragma once

#include "platform/win32.h"

#if !defined(_WIN32)
#include <mutex>
#endif

namespace klv {

class Lock {
public:
    constexpr Lock() = default;
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;

#if defined(_WIN32)
    void Acquire() {
        AcquireSRWLockExclusive(&lock_);
    }
    void Release() {
        ReleaseSRWLockExclusive(&lock_);
    }

private:
    SRWLOCK lock_ = SRWLOCK_INIT;
#else
    void Acquire() {
        mutex_.lock();
    }
    void Release() {
        mutex_.unlock();
    }

private:
    std::mutex mutex_;
#endif
};

class LockHolder {
public:
    explicit LockHolder(Lock& lock) : lock_(lock) { lock_.Acquire(); }
    ~LockHolder() { lock_.Release(); }
    LockHolder(const LockHolder&) = delete;
    LockHolder& operator=(const LockHolder&) = delete;

private:
    Lock& lock_;
};

} // namespace klv
