// The Windows build: the system's own header, through the platform's face.
#pragma once

#include "platform/win32.h"

// The coordinates of a mouse message, as <windowsx.h> gives them (without its other macros).
#ifndef GET_X_LPARAM
#define GET_X_LPARAM(lp) ((int)(short)LOWORD(lp))
#define GET_Y_LPARAM(lp) ((int)(short)HIWORD(lp))
#endif

namespace skv::platform {

// The Linux display backends report key transitions here; Windows keeps the key state itself.
inline void setKeyState(int, bool) {}

} // namespace skv::platform
