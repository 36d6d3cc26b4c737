// What a wave capture writes, shared by the systems' capture devices.
#pragma once

#include <string>
#include <vector>

#include "platform/mmsystem.h"

namespace skv::platform::wave {

void put16(std::string& s, uint32_t v);
void put32(std::string& s, uint32_t v);

// Scales samples by a volume (left level in the low word, right in the high word; mono uses the
// left one). Full volume leaves them as they are.
void applyVolume(const WAVEFORMATEX& format, const uint8_t* in, size_t bytes, DWORD volume,
                 uint8_t* out);

// Writes the buffers of the first one's format in play order, and a chunk of their start times.
// False, with the reason in `error`, when nothing was played or the file cannot be written.
bool writeWaveFile(const std::vector<PlayedWave>& played, const std::string& path,
                   std::string* error);

} // namespace skv::platform::wave
