// FrameImage: the 1,000-byte picture of one frame that the score's frame string is decoded into:
// 50 channels of 20 bytes. Channels 0 and 1 carry the frame's control data, the others sprites
// (sprite number n is channel n + 1).
//
// Control data (little-endian):
//
// | channel, offset | type   | field                                                          |
// |-----------------|--------|----------------------------------------------------------------|
// | 0, +2           | uint16 | transition: low byte chunk size, bits 8-14 duration in quarter |
// |                 |        | seconds, bit 15 left alone by puppet transitions               |
// | 0, +4           | uint16 | low byte transition effect (0 = none), high byte tempo byte    |
// | 0, +6           | int16  | sound cast member number; 0 = none                             |
// | 0, +16          | int16  | frame script number, which a hub score takes as a jump target  |
// | 1, +0           | int16  | palette cast member number; 0 keeps the current palette        |
//
// Tempo byte: 1-60 frames per second; 128 waits for a click; 135 waits for the current sound;
// 192-255 wait 256 - value seconds; anything else changes nothing.
#pragma once

#include <cstdint>
#include <cstring>

#include "core/spritechannel.h"

namespace skv {

// What a tempo byte asks for.
inline constexpr int32_t kTempoSlowest = 1; // frames per second, up to kTempoFastest
inline constexpr int32_t kTempoFastest = 60;
inline constexpr int32_t kTempoWaitForClick = 128; // until a left press or a key
inline constexpr int32_t kTempoWaitForSound = 135; // until the current sound ends
inline constexpr int32_t kTempoWaitSeconds = 192;  // this and above: 256 - value seconds

constexpr bool tempoIsRate(int32_t tempo) {
    return tempo >= kTempoSlowest && tempo <= kTempoFastest;
}
constexpr bool tempoWaitsSeconds(int32_t tempo) {
    return tempo >= kTempoWaitSeconds && tempo <= 256;
}
constexpr bool tempoWaits(int32_t tempo) {
    return tempo == kTempoWaitForClick || tempo == kTempoWaitForSound || tempoWaitsSeconds(tempo);
}
constexpr uint32_t tempoWaitMs(int32_t tempo) {
    return static_cast<uint32_t>(256 - tempo) * 1000u;
}

struct FrameImage {
    static constexpr int kChannels = 50;
    static constexpr int kSize = kChannels * SpriteChannel::kSize;

    SpriteChannel channels[kChannels];

    uint8_t* bytes() { return channels[0].bytes; }
    const uint8_t* bytes() const { return channels[0].bytes; }
    void clear() { std::memset(channels, 0, sizeof channels); }

    SpriteChannel& operator[](int i) { return channels[i]; }
    const SpriteChannel& operator[](int i) const { return channels[i]; }

    uint16_t transitionParams() const { return static_cast<uint16_t>(channels[0].int16At(2)); }
    void setTransitionParams(uint16_t v) { channels[0].setInt16At(2, static_cast<int16_t>(v)); }
    uint8_t chunkSize() const { return channels[0].bytes[2]; }
    // Quarter seconds.
    int32_t transitionDuration() const { return channels[0].bytes[3] & 0x7F; }
    uint8_t transitionEffect() const { return channels[0].bytes[4]; }
    void setTransitionEffect(uint8_t v) { channels[0].bytes[4] = v; }
    uint8_t tempoByte() const { return channels[0].bytes[5]; }
    int16_t soundNumber() const { return channels[0].int16At(6); }
    void setSoundNumber(int16_t v) { channels[0].setInt16At(6, v); }
    int16_t frameScript() const { return channels[0].int16At(16); }
    int16_t paletteNumber() const { return channels[1].int16At(0); }
};
static_assert(sizeof(FrameImage) == FrameImage::kSize, "a frame image is 1,000 bytes");

} // namespace skv
