// The one clock behind every time call of the platform (Sleep, GetTickCount, timeGetTime, the
// time-outs of every wait, timers).
//
// Real mode follows the system's monotonic clock. Virtual mode makes a run deterministic: virtual
// time stands still while any participating thread is running, and jumps to the earliest pending
// deadline (a Sleep or a wait with a time-out) only when every participating thread is blocked in
// a platform wait or sleep. A wait that another thread's work will satisfy is therefore never cut
// short by time racing ahead, and a 56-second sleep costs no real time.
//
// Participating threads: every thread created with CreateThread, and every other thread that
// calls joinVirtualClock() (the thread that switches virtual mode on joins automatically). A
// thread blocked in real I/O (a socket, a file) counts as running.
#pragma once

#include "platform/win32.h"

namespace skv::platform {

// Switches the clock's mode. Virtual time starts at `startMs` and counts up from there.
SKV_PLATFORM_API void setVirtualClock(bool on, uint64_t startMs = 0);
SKV_PLATFORM_API bool isVirtualClock();
// Milliseconds on the clock now (virtual or real), without the 32-bit wrap of GetTickCount.
SKV_PLATFORM_API uint64_t clockNowMs();
// Makes the calling thread (one not created by CreateThread) a participant of the virtual clock,
// or takes it out again.
SKV_PLATFORM_API void joinVirtualClock();
SKV_PLATFORM_API void leaveVirtualClock();

// For tests: makes timeGetDevCaps fail, as on a machine without a multimedia timer device, so
// that what depends on the timer resolution can be tried on its failure path; true again
// restores it.
SKV_PLATFORM_API void setTimerDeviceAvailable(bool available);

} // namespace skv::platform
