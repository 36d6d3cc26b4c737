// Status codes: progress (4000-5012) and errors (0x80000FA2-0x80000FB5), reported by the stream
// threads to the movie stream's status window and on to the host.
#pragma once

#include <cstdint>

namespace skv {

enum StatusCode : uint32_t {
    stsInternetThreadStarted = 4000,
    stsInternetThreadStopped = 4001,
    stsServerConnectionEstablished = 4004,
    stsUpdate = 5000,
    stsCodecThreadStarted = 5001,
    stsCodecThreadStopped = 5002,
    stsSerializeThreadStarted = 5003,
    stsSerializeThreadStopped = 5004,
    stsBufferingComplete = 5005,
    stsPlaybackComplete = 5007,
    stsErrorConstructingStream = 0x80000FA2,
    stsUnknownError = 0x80000FA3,
    stsServerNotFound = 0x80000FA5,
    stsServerBusy = 0x80000FA6,
    stsServerBadRequest = 0x80000FA7,
    stsErrorSerialzingObject = 0x80000FA8,
    stsBadStreamHeader = 0x80000FA9, // the stream does not begin with "QMS "
};

// Status codes travel as int32 (the error codes are negative as int32).
constexpr int32_t statusInt(StatusCode c) {
    return static_cast<int32_t>(c);
}

} // namespace skv
