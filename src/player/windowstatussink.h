// WindowStatusSink: a movie stream's status codes posted to the stage window, as messages 8025
// (every code but stsUpdate) and 8026 (stsUpdate), the code in wParam and the message number in
// lParam. At most one 8026 waits at a time: the window takes it with taken(8026).
#pragma once

#include <atomic>

#include "net/statussink.h"
#include "platform/winuser.h"

namespace skv {

class WindowStatusSink : public StatusSink {
public:
    void setWindow(HWND window) { window_.store(window); }
    HWND window() const { return window_.load(); }

    void postStatus(uint32_t message, int32_t code, MovieStream* stream) override;
    bool isWaiting(uint32_t message) override;
    // The window has taken a message of this kind off its queue.
    void taken(uint32_t message);

private:
    std::atomic<HWND> window_{nullptr};
    std::atomic<int32_t> updateWaiting_{0};
};

} // namespace skv
