// The Windows build: Windows Sockets, through the platform's face, and the wait for a socket's
// data that the code above calls.
#pragma once

#include "platform/win32.h"

namespace skv::platform {

// Waits until a recv on `s` would not block or until `milliseconds` have passed (INFINITE:
// without limit): 1 when a recv would not block, 0 when the time ran out, SOCKET_ERROR for a
// socket that is none. On Windows a select() on the one socket.
SKV_PLATFORM_API int waitForSocketData(SOCKET s, DWORD milliseconds);

} // namespace skv::platform
