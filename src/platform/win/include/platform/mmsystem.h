// The Windows build: the multimedia API (timers, wave output) through the platform's face, and
// the wave capture: with SKV_WAVE=capture the wave output of a watched module (display.h's
// watchModule) goes to a device of the platform's that plays in real time without a sound card
// and keeps what it played, as the Linux capture backend does; with SKV_WAVE_FILE=<path> the
// capture is written as a WAV file (docs/sound.md) when the last handle closes.
#pragma once

#include "platform/win32.h"
#include <mmsystem.h>

#include <string>
#include <vector>

namespace skv::platform {

struct PlayedWave {
    uint64_t startMs = 0;
    WAVEFORMATEX format{};
    std::vector<uint8_t> samples;
    // The system's own sound (MessageBeep's tone), not the program's: kept, but left out of the
    // WAV file, which holds what the program played.
    bool system = false;
};

SKV_PLATFORM_API std::vector<PlayedWave> waveCapture();
SKV_PLATFORM_API void clearWaveCapture();
SKV_PLATFORM_API bool saveWaveCapture(const std::string& path, std::string* error = nullptr);

} // namespace skv::platform
