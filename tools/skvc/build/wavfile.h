// WAV files an author hands the builder: RIFF "WAVE" with a PCM "fmt " chunk (format tag 1, or
// WAVE_FORMAT_EXTENSIBLE with the PCM sub-format) of 8-bit unsigned or 16-bit signed samples,
// one or two channels, and a "data" chunk. Other chunks are skipped. The bytes are untrusted:
// every chunk size is checked against what remains, and a data chunk that claims more than the
// file holds (as streaming writers leave it) is cut to the whole sample frames present.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace skvc {

struct WavSound {
    int32_t channels = 0;
    int32_t samplesPerSecond = 0;
    int32_t bitsPerSample = 0;
    std::vector<uint8_t> pcm; // as in the file: interleaved, 16-bit little-endian

    int32_t frameBytes() const { return channels * bitsPerSample / 8; }
    int64_t frames() const { return frameBytes() ? int64_t(pcm.size()) / frameBytes() : 0; }
};

// Longest sample data accepted (the player reads no larger sound).
inline constexpr size_t kMaxWavData = 64u * 1024 * 1024;

// False with a reason an author can act on when the bytes are not such a file.
bool decodeWav(const uint8_t* data, size_t size, WavSound* out, std::string* error);

} // namespace skvc
