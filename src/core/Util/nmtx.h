// nmtx: the recursive mutex of the stream core, and its scoped guard.
//
// An unnamed operating-system mutex, created unowned. The owner may lock it again; every lock
// needs one unlock. The file and line a caller passes identify it in diagnostics only.
#pragma once

#include <cstdint>

#include "platform/win32.h"

namespace skv {

class nmtx {
public:
    static constexpr int32_t kForever = -1;

    nmtx();
    ~nmtx();
    nmtx(const nmtx&) = delete;
    nmtx& operator=(const nmtx&) = delete;

    // True when the mutex was acquired within the time-out (kForever waits without one).
    bool lock(int32_t timeoutMs = kForever, const char* file = nullptr, int line = 0);
    bool unlock();

private:
    HANDLE handle_;
};

// Holds a mutex (or nothing) and unlocks it, if it locked it, when it goes out of scope.
class nmtxLock {
public:
    explicit nmtxLock(nmtx* m) : m_(m) {}
    ~nmtxLock() {
        if (held_) m_->unlock();
    }
    nmtxLock(const nmtxLock&) = delete;
    nmtxLock& operator=(const nmtxLock&) = delete;

    bool lock(int32_t timeoutMs = nmtx::kForever, const char* file = nullptr, int line = 0) {
        if (!m_) return true;
        if (!held_) held_ = m_->lock(timeoutMs, file, line);
        return held_;
    }
    void unlock() {
        if (held_) m_->unlock();
        held_ = false;
    }

private:
    nmtx* m_;
    bool held_ = false;
};

} // namespace skv

// Locks `m` (a pointer to nmtx) for the rest of the enclosing scope, waiting without time-out.
#define NMTX_SCOPED(name, m)                                                                       \
    ::skv::nmtxLock name(m);                                                                       \
    name.lock(::skv::nmtx::kForever, __FILE__, __LINE__)
