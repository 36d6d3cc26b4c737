// SpriteChannel: one 20-byte channel of a frame image, as the score's frame string writes it.
//
// Sprite channels (little-endian, unaligned):
//
// | offset | type  | field                                                               |
// |--------|-------|---------------------------------------------------------------------|
// | 0      | uint8 | sprite type: 2, 3, 4, 5, 6 and 12 are shapes, anything else a member |
// | 1      | uint8 | flags; 0x10 = puppet                                                 |
// | 2      | uint8 | background colour index                                              |
// | 3      | uint8 | foreground colour index                                              |
// | 4      | uint8 | ink in the low 5 bits                                                |
// | 6      | int16 | cast member number; 0 = none                                         |
// | 8      | int16 | top                                                                  |
// | 10     | int16 | left                                                                 |
// | 12     | int16 | height                                                               |
// | 14     | int16 | width                                                                |
// | 16     | int16 | sprite script number (the trigger number in a hub score)             |
//
// Bytes 5, 18 and 19 are reserved. The two control channels reuse the same slots with other
// meanings; the frame image that holds them gives those names.
//
// Members receive the channel they are drawn for through their draw, place and hitTest slots,
// which is why the record lives at the bottom of the layers.
#pragma once

#include <cstdint>

namespace skv {

struct SpriteChannel {
    static constexpr int kSize = 20;
    static constexpr uint8_t kPuppetFlag = 0x10;
    static constexpr int kScriptOffset = 16;

    uint8_t bytes[kSize];

    int16_t int16At(int offset) const {
        return static_cast<int16_t>(bytes[offset] | (bytes[offset + 1] << 8));
    }
    void setInt16At(int offset, int16_t v) {
        bytes[offset] = static_cast<uint8_t>(v & 0xFF);
        bytes[offset + 1] = static_cast<uint8_t>((v >> 8) & 0xFF);
    }

    uint8_t spriteType() const { return bytes[0]; }
    uint8_t flags() const { return bytes[1]; }
    bool isPuppet() const { return (bytes[1] & kPuppetFlag) != 0; }
    void setPuppet(bool on) {
        bytes[1] = static_cast<uint8_t>(on ? (bytes[1] | kPuppetFlag) : (bytes[1] & ~kPuppetFlag));
    }
    uint8_t backColour() const { return bytes[2]; }
    uint8_t foreColour() const { return bytes[3]; }
    uint8_t ink() const { return bytes[4] & 0x1F; }
    int16_t castNumber() const { return int16At(6); }
    int16_t top() const { return int16At(8); }
    int16_t left() const { return int16At(10); }
    int16_t height() const { return int16At(12); }
    int16_t width() const { return int16At(14); }
    int16_t scriptNumber() const { return int16At(kScriptOffset); }
    void setCastNumber(int16_t v) { setInt16At(6, v); }
    void setTop(int16_t v) { setInt16At(8, v); }
    void setLeft(int16_t v) { setInt16At(10, v); }
    void setHeight(int16_t v) { setInt16At(12, v); }
    void setWidth(int16_t v) { setInt16At(14, v); }
    void setScriptNumber(int16_t v) { setInt16At(kScriptOffset, v); }

    // Shape sprites are drawn from the channel alone; every other type names a cast member.
    bool isShape() const {
        const uint8_t t = bytes[0];
        return (t >= 2 && t <= 6) || t == 12;
    }
    // The shape kind a shape sprite draws: 3, 4, 5, 1, 2 for types 2 to 6; 0 for type 12, which
    // is never drawn, and for member sprites.
    int shapeKind() const {
        static constexpr int kinds[] = {3, 4, 5, 1, 2};
        const uint8_t t = bytes[0];
        return (t >= 2 && t <= 6) ? kinds[t - 2] : 0;
    }
};
static_assert(sizeof(SpriteChannel) == SpriteChannel::kSize, "a channel is 20 bytes");

inline bool operator==(const SpriteChannel& a, const SpriteChannel& b) {
    for (int i = 0; i < SpriteChannel::kSize; ++i)
        if (a.bytes[i] != b.bytes[i]) return false;
    return true;
}

} // namespace skv
