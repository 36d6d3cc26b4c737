// Asynchronous key state: one table for the process, written by the display backend's event
// loop and read from any thread.
#include <atomic>

#include "platform/winuser.h"

namespace {

// Per key: bit 0 down now, bit 1 went down since the last GetAsyncKeyState.
std::atomic<uint8_t> keys[256];

} // namespace

extern "C" SHORT GetAsyncKeyState(int virtualKey) {
    if (virtualKey < 0 || virtualKey > 255) return 0;
    uint8_t k = keys[virtualKey].fetch_and(1);
    SHORT result = 0;
    if (k & 1) result = static_cast<SHORT>(result | 0x8000);
    if (k & 2) result = static_cast<SHORT>(result | 1);
    return result;
}

extern "C" SHORT GetKeyState(int virtualKey) {
    if (virtualKey < 0 || virtualKey > 255) return 0;
    return (keys[virtualKey].load() & 1) ? static_cast<SHORT>(0x8000) : 0;
}

namespace skv::platform {

void setKeyState(int virtualKey, bool down) {
    if (virtualKey < 0 || virtualKey > 255) return;
    if (down)
        keys[virtualKey].store(3);
    else
        keys[virtualKey].fetch_and(2);
}

} // namespace skv::platform
