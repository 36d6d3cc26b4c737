#include "platform/winsock.h"

namespace skv::platform {

int waitForSocketData(SOCKET s, DWORD milliseconds) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(s, &readable);
    timeval limit{static_cast<long>(milliseconds / 1000),
                  static_cast<long>((milliseconds % 1000) * 1000)};
    const int r =
        select(0, &readable, nullptr, nullptr, milliseconds == INFINITE ? nullptr : &limit);
    if (r == SOCKET_ERROR) return SOCKET_ERROR;
    return r > 0 ? 1 : 0;
}

} // namespace skv::platform
