#include "core/Util/nmtx.h"

#include <cstdio>

namespace skv {

nmtx::nmtx() : handle_(CreateMutexA(nullptr, FALSE, nullptr)) {}

nmtx::~nmtx() {
    if (handle_) CloseHandle(handle_);
}

bool nmtx::lock(int32_t timeoutMs, const char* file, int line) {
    DWORD wait = timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs);
    DWORD r = WaitForSingleObject(handle_, wait);
    // An abandoned mutex is still ours: its last owner died holding it.
    if (r == WAIT_OBJECT_0 || r == WAIT_ABANDONED) return true;
    if (r != WAIT_TIMEOUT && file) std::printf("nmtx: wait failed (%s:%d)\n", file, line);
    return false;
}

bool nmtx::unlock() {
    ReleaseMutex(handle_);
    return true;
}

} // namespace skv
