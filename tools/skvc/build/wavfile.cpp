#include "wavfile.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace skvc {

namespace {

uint32_t le32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
uint16_t le16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

constexpr uint16_t kTagPcm = 1;
constexpr uint16_t kTagExtensible = 0xFFFE;

} // namespace

bool decodeWav(const uint8_t* data, size_t size, WavSound* out, std::string* error) {
    const auto fail = [&](const std::string& why) {
        *error = why;
        return false;
    };
    if (size < 12 || std::memcmp(data, "RIFF", 4) != 0 || std::memcmp(data + 8, "WAVE", 4) != 0)
        return fail("not a WAV file (no RIFF WAVE header)");
    bool haveFormat = false;
    WavSound w;
    size_t at = 12;
    while (at + 8 <= size) {
        const uint8_t* chunk = data + at;
        const uint32_t length = le32(chunk + 4);
        const size_t bodyAt = at + 8;
        const size_t available = size - bodyAt;
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            if (length < 16 || length > available)
                return fail("the WAV file's format chunk is damaged");
            const uint8_t* f = data + bodyAt;
            uint16_t tag = le16(f);
            if (tag == kTagExtensible) {
                // The sub-format GUID starts with the plain format tag.
                if (length < 40 || le16(f + 16) < 22)
                    return fail("the WAV file's extensible format chunk is damaged");
                tag = le16(f + 24);
            }
            if (tag != kTagPcm)
                return fail("the WAV file is not plain PCM (format " + std::to_string(tag) +
                            "); save it as 8- or 16-bit PCM");
            w.channels = le16(f + 2);
            w.samplesPerSecond = static_cast<int32_t>(std::min<uint32_t>(le32(f + 4), INT32_MAX));
            w.bitsPerSample = le16(f + 14);
            if (w.channels != 1 && w.channels != 2)
                return fail("the WAV file has " + std::to_string(w.channels) +
                            " channels; sounds have 1 or 2");
            if (w.bitsPerSample != 8 && w.bitsPerSample != 16)
                return fail("the WAV file has " + std::to_string(w.bitsPerSample) +
                            "-bit samples; save it with 8- or 16-bit samples");
            if (w.samplesPerSecond < 1000 || w.samplesPerSecond > 192000)
                return fail("the WAV file's rate of " + std::to_string(w.samplesPerSecond) +
                            " samples a second is out of range (1000 to 192000)");
            if (le16(f + 12) != w.frameBytes())
                return fail("the WAV file's block size does not match its channels and bits");
            haveFormat = true;
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            if (!haveFormat) return fail("the WAV file's data comes before its format chunk");
            size_t n = std::min<size_t>(length, available);
            n -= n % static_cast<size_t>(w.frameBytes());
            if (n > kMaxWavData) return fail("the WAV file's sound is longer than 64 MB");
            w.pcm.assign(data + bodyAt, data + bodyAt + n);
            *out = std::move(w);
            return true;
        }
        if (length > available) break;
        at = bodyAt + length + (length & 1); // chunks are padded to an even size
    }
    return fail(haveFormat ? "the WAV file has no data chunk" : "the WAV file has no format chunk");
}

} // namespace skvc
