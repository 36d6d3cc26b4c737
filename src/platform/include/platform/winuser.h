// The window system's input part: asynchronous key state. The display backend reports key
// transitions (setKeyState); the code above reads them the Windows way.
#pragma once

#include "platform/windef.h"

extern "C" {

typedef short SHORT;

#define VK_LBUTTON 0x01
#define VK_RBUTTON 0x02
#define VK_BACK 0x08
#define VK_TAB 0x09
#define VK_RETURN 0x0D
#define VK_SHIFT 0x10
#define VK_CONTROL 0x11
#define VK_MENU 0x12
#define VK_ESCAPE 0x1B
#define VK_SPACE 0x20
#define VK_LEFT 0x25
#define VK_UP 0x26
#define VK_RIGHT 0x27
#define VK_DOWN 0x28

// Bit 15 set while the key is down; bit 0 set when it went down since the previous call.
SKV_PLATFORM_API SHORT GetAsyncKeyState(int virtualKey);

} // extern "C"

namespace skv::platform {

// Called by a display backend (or a test) for every key or mouse-button transition.
SKV_PLATFORM_API void setKeyState(int virtualKey, bool down);

} // namespace skv::platform
