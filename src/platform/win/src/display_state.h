// What the Windows display keeps between calls: which backend was asked for, the program's
// screen size, and the message boxes and beeps seen so far.
#pragma once

#include <mutex>
#include <vector>

#include "platform/display.h"

namespace skv::platform::win {

struct DisplayState {
    std::mutex mu;
    DisplayBackend backend = DisplayBackend::Headless;
    bool chosen = false;
    SIZE screen{1024, 768};
    int messageBoxAnswer = 0;
    std::vector<MessageBoxRecord> boxes;
    std::vector<UINT> beeps;
};

DisplayState& displayState();

// The window whose client area is the program's screen: its first visible top-level window in
// z-order, or null.
HWND screenWindow();

} // namespace skv::platform::win
