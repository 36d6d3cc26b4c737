// The 142-byte parameter block the decoder library's calls take (little-endian; every byte not
// named here is 0):
//
// | offset | type    | decode                                    | encode                       |
// |--------|---------|-------------------------------------------|------------------------------|
// | 0      | int16   | 142                                       | 142                          |
// | 8      | int32   | input format 0x10201 (voice-coded)        | 0x20200 (PCM)                |
// | 12     | int32   | address of the coded data (low 32 bits)   | address of the PCM           |
// | 16     | int32   | its length in bytes                       | PCM length                   |
// | 20     | int32   | high 32 bits of the address at 12         | same                         |
// | 24     | int32   | 0                                         | input samples per second     |
// | 28     | int16   | 0                                         | input bytes per sample       |
// | 30     | int32   | output format 0x20200 (PCM)               | 0x10201                      |
// | 34     | int32   | address of the output buffer (low 32 bits)| same                         |
// | 38     | int32   | output capacity in bytes                  | same                         |
// | 42     | int32   | bytes produced by the last convert        |                              |
// | 46     | int32   | output samples per second                 | 0                            |
// | 50     | int16   | output bytes per sample (2)               | 0                            |
// | 52     | int16   | output channels (0 means 1)               | input channels               |
// | 54     | int32   | high 32 bits of the address at 34         | same                         |
// | 62     | float32 | 1.0                                       | 0                            |
// | 74     | int32   | status after convert: 92 = more output pending                           |
// | 90     | int32   | decoder variant                           | encoder variant              |
//
// The high halves of the addresses (offsets 20 and 54) are 0 in a 32-bit process, where the
// block is exactly the one the player has always passed.
#pragma once

#include <cstdint>
#include <cstring>

namespace qa118 {

inline constexpr int kBlockSize = 142;
inline constexpr int32_t kFormatVoice = 0x10201;
inline constexpr int32_t kFormatPcm = 0x20200;
inline constexpr int32_t kStatusMore = 92;

enum BlockOffset : int {
    kOffSize = 0,
    kOffInFormat = 8,
    kOffInData = 12,
    kOffInLength = 16,
    kOffInDataHigh = 20,
    kOffInRate = 24,
    kOffInBytesPerSample = 28,
    kOffOutFormat = 30,
    kOffOutData = 34,
    kOffOutCapacity = 38,
    kOffProduced = 42,
    kOffOutRate = 46,
    kOffOutBytesPerSample = 50,
    kOffChannels = 52,
    kOffOutDataHigh = 54,
    kOffGain = 62,
    kOffStatus = 74,
    kOffVariant = 90,
};

inline int32_t blockInt32(const uint8_t* b, int off) {
    uint32_t v = uint32_t{b[off]} | uint32_t{b[off + 1]} << 8 | uint32_t{b[off + 2]} << 16 |
                 uint32_t{b[off + 3]} << 24;
    return static_cast<int32_t>(v);
}
inline int16_t blockInt16(const uint8_t* b, int off) {
    return static_cast<int16_t>(b[off] | b[off + 1] << 8);
}
inline void setBlockInt32(uint8_t* b, int off, int32_t v) {
    for (int i = 0; i < 4; ++i)
        b[off + i] = static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * i));
}
inline void setBlockInt16(uint8_t* b, int off, int16_t v) {
    b[off] = static_cast<uint8_t>(v & 0xFF);
    b[off + 1] = static_cast<uint8_t>((static_cast<uint16_t>(v) >> 8) & 0xFF);
}
inline void* blockAddress(const uint8_t* b, int lowOff, int highOff) {
    const uint64_t a = static_cast<uint32_t>(blockInt32(b, lowOff)) |
                       uint64_t{static_cast<uint32_t>(blockInt32(b, highOff))} << 32;
    return reinterpret_cast<void*>(static_cast<uintptr_t>(a));
}
inline void setBlockAddress(uint8_t* b, int lowOff, int highOff, const void* p) {
    const uint64_t a = reinterpret_cast<uintptr_t>(p);
    setBlockInt32(b, lowOff, static_cast<int32_t>(a & 0xFFFFFFFFu));
    setBlockInt32(b, highOff, static_cast<int32_t>(a >> 32));
}
inline void setBlockFloat(uint8_t* b, int off, float f) {
    uint32_t v;
    std::memcpy(&v, &f, 4);
    setBlockInt32(b, off, static_cast<int32_t>(v));
}

} // namespace qa118
