#include "player/windowstatussink.h"

namespace skv {

void WindowStatusSink::postStatus(uint32_t message, int32_t code, MovieStream*) {
    HWND hwnd = window_.load();
    if (!hwnd) return;
    if (message == kMsgStreamUpdate) updateWaiting_.store(1);
    if (!PostMessageA(hwnd, message, static_cast<WPARAM>(static_cast<uint32_t>(code)), message) &&
        message == kMsgStreamUpdate)
        updateWaiting_.store(0);
}

bool WindowStatusSink::isWaiting(uint32_t message) {
    return message == kMsgStreamUpdate && updateWaiting_.load() != 0;
}

void WindowStatusSink::taken(uint32_t message) {
    if (message == kMsgStreamUpdate) updateWaiting_.store(0);
}

} // namespace skv
