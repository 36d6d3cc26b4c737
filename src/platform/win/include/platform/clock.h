// The Windows build's clock: the system's. There is no virtual mode here: a run on Windows plays
// in real time, so these only report that and read the system's tick count.
#pragma once

#include "platform/win32.h"

namespace skv::platform {

inline void setVirtualClock(bool, uint64_t = 0) {}
inline bool isVirtualClock() {
    return false;
}
inline uint64_t clockNowMs() {
    return GetTickCount64();
}
inline void joinVirtualClock() {}
inline void leaveVirtualClock() {}

} // namespace skv::platform
