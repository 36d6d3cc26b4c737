// The voice-coded format: Opus packets (CELT, 20 ms each) behind a small header. This is the
// layout the decoder library reads and its encoder writes; docs/voice-format.md describes it for
// people who write such data.
//
// | offset | size | field                                                                   |
// |--------|------|-------------------------------------------------------------------------|
// | 0      | 4    | "QVOX"                                                                  |
// | 4      | 1    | version, 1                                                              |
// | 5      | 1    | channels, 1 or 2                                                        |
// | 6      | 2    | samples per packet and channel at the coded rate (20 ms)                |
// | 8      | 4    | variant: 0x8000001 (8000/s), 0x8000002 (11025/s), 0x8000004 (22050/s)   |
// | 12     | 4    | coded rate: the Opus rate the packets decode at (8000, 12000 or 24000)  |
// | 16     | 4    | pre-skip: decoded samples per channel to drop at the start               |
// | 20     | 4    | frames: sample frames of the sound at the variant's rate                |
// | 24     | 4    | packet count                                                            |
// | 28     | ...  | packets, each a uint16 length (1-1275) and that many bytes              |
//
// All integers little-endian. Decoding gives the packets' samples at the coded rate, drops the
// pre-skip, keeps frames × coded rate ÷ variant rate of them (missing ones are silence) and
// resamples those to the rate asked for.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qa118 {

inline constexpr int32_t kVariant8000 = 0x8000001;
inline constexpr int32_t kVariant11025 = 0x8000002;
inline constexpr int32_t kVariant22050 = 0x8000004;
inline constexpr size_t kHeaderSize = 28;
inline constexpr uint32_t kMaxPacket = 1275;
// About 12 minutes at 22050 samples per second: longer sounds are refused before any allocation.
inline constexpr uint32_t kMaxFrames = 1u << 24;
// Samples (all channels) a decode may produce at the rate asked for: 64 Mi, 128 MB as 16-bit
// samples, over 12 minutes of 44100/s stereo.
inline constexpr uint64_t kMaxDecodedSamples = uint64_t{1} << 26;

// The sample rate a variant stands for, or 0 for an unknown variant.
int32_t variantRate(int32_t variant);
// The Opus rate packets of a variant are coded at.
int32_t codedRate(int32_t variant);

struct VoxHeader {
    uint32_t channels = 1;
    uint32_t packetSamples = 0;
    int32_t variant = 0;
    uint32_t codedRate = 0;
    uint32_t preSkip = 0;
    uint32_t frames = 0;
    uint32_t packets = 0;
};

// Decodes voice-coded data to interleaved 16-bit samples at `outRate` with `outChannels` (1 or
// 2: a mono sound is doubled, a stereo one mixed down). False, with the reason in `error`, for
// data that is not a sound of this format.
bool decodeVox(const uint8_t* data, size_t size, uint32_t outRate, uint32_t outChannels,
               std::vector<int16_t>* pcm, std::string* error);

// Encodes interleaved 16-bit samples at `rate` (1 or 2 channels) as a sound of `variant`,
// resampled to the variant's rate. False, with the reason in `error`, when it cannot.
bool encodeVox(const int16_t* pcm, size_t frames, uint32_t channels, uint32_t rate, int32_t variant,
               std::vector<uint8_t>* out, std::string* error);

} // namespace qa118
