// UuidCreate: random (version 4) identifiers from the system's random source.
#include <sys/random.h>

#include <cerrno>
#include <cstring>

#include "platform/win32.h"

extern "C" RPC_STATUS UuidCreate(UUID* uuid) {
    if (!uuid) return RPC_S_UUID_NO_ADDRESS;
    uint8_t bytes[16];
    size_t got = 0;
    while (got < sizeof bytes) {
        ssize_t r = getrandom(bytes + got, sizeof bytes - got, 0);
        if (r < 0) {
            if (errno == EINTR) continue;
            return RPC_S_UUID_NO_ADDRESS;
        }
        got += static_cast<size_t>(r);
    }
    std::memcpy(uuid, bytes, sizeof bytes);
    uuid->Data3 = static_cast<uint16_t>((uuid->Data3 & 0x0FFF) | 0x4000);  // version 4: random
    uuid->Data4[0] = static_cast<uint8_t>((uuid->Data4[0] & 0x3F) | 0x80); // the RFC 4122 variant
    return RPC_S_OK;
}
