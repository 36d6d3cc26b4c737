// The library's exports: the three decode calls bound by ordinal (2100 initialise, 2120 convert,
// 2110 finish), each given a parameter block (paramblock.h), and the encoder the authoring tool
// calls by name.
//
// Initialise decodes the whole sound into memory; convert hands it out a capacity at a time
// (whole sample frames), answering status 92 while more remains; finish frees it. A decode's
// state is found by the address of its block, so several decodes may run at once.
#include <algorithm>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "paramblock.h"
#include "voxformat.h"

#ifdef _WIN32
// The Windows library exports the decoding calls by ordinal alone (qa118dec.def).
#define QA118_EXPORT extern "C"
#else
#define QA118_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace {

// Results of the calls (0 is success).
enum : int16_t {
    kBadBlock = 1,   // a field of the block is out of range
    kBadData = 2,    // the input is not a sound of the format
    kNotStarted = 3, // convert or finish without initialise
    kBusy = 4,       // initialise twice on one block
};

struct Decode {
    std::vector<int16_t> pcm;
    size_t handedOut = 0; // bytes
    unsigned frameBytes = 2;
};

std::mutex mu;
std::map<const void*, std::unique_ptr<Decode>>& decodes() {
    static auto* m = new std::map<const void*, std::unique_ptr<Decode>>;
    return *m;
}

} // namespace

QA118_EXPORT int16_t skv_ordinal_2100(void* block) {
    auto* b = static_cast<uint8_t*>(block);
    if (!b || blockInt16(b, qa118::kOffSize) != qa118::kBlockSize) return kBadBlock;
    if (blockInt32(b, qa118::kOffInFormat) != qa118::kFormatVoice ||
        blockInt32(b, qa118::kOffOutFormat) != qa118::kFormatPcm)
        return kBadBlock;
    const int32_t variant = blockInt32(b, qa118::kOffVariant);
    const int32_t variantRate = qa118::variantRate(variant);
    if (!variantRate) return kBadBlock;
    int32_t rate = blockInt32(b, qa118::kOffOutRate);
    if (rate == 0) rate = variantRate;
    const int16_t bytesPerSample = blockInt16(b, qa118::kOffOutBytesPerSample);
    if (bytesPerSample != 2 && bytesPerSample != 0) return kBadBlock;
    int16_t channels = blockInt16(b, qa118::kOffChannels);
    if (channels == 0) channels = 1;
    const int32_t length = blockInt32(b, qa118::kOffInLength);
    const void* in = blockAddress(b, qa118::kOffInData, qa118::kOffInDataHigh);
    if (length < 0 || (length > 0 && !in) ||
        !blockAddress(b, qa118::kOffOutData, qa118::kOffOutDataHigh) ||
        blockInt32(b, qa118::kOffOutCapacity) < 2 * channels)
        return kBadBlock;
    if (rate < 1000 || rate > 192000 || channels > 2) return kBadBlock;

    auto d = std::make_unique<Decode>();
    d->frameBytes = 2u * static_cast<unsigned>(channels);
    if (!qa118::decodeVox(static_cast<const uint8_t*>(in), static_cast<size_t>(length),
                          static_cast<uint32_t>(rate), static_cast<uint32_t>(channels), &d->pcm,
                          nullptr))
        return kBadData;
    std::lock_guard<std::mutex> g(mu);
    auto& slot = decodes()[block];
    if (slot) return kBusy;
    slot = std::move(d);
    setBlockInt32(b, qa118::kOffProduced, 0);
    setBlockInt32(b, qa118::kOffStatus, 0);
    return 0;
}

QA118_EXPORT int16_t skv_ordinal_2120(void* block) {
    auto* b = static_cast<uint8_t*>(block);
    std::lock_guard<std::mutex> g(mu);
    auto it = decodes().find(block);
    if (it == decodes().end()) return kNotStarted;
    Decode& d = *it->second;
    auto* out = static_cast<uint8_t*>(blockAddress(b, qa118::kOffOutData, qa118::kOffOutDataHigh));
    const int32_t capacity = blockInt32(b, qa118::kOffOutCapacity);
    if (!out || capacity < static_cast<int32_t>(d.frameBytes)) return kBadBlock;
    const size_t total = d.pcm.size() * 2;
    const size_t room = static_cast<size_t>(capacity) / d.frameBytes * d.frameBytes;
    const size_t n = std::min(room, total - d.handedOut);
    for (size_t i = 0; i < n; i += 2) { // little-endian whatever the host
        const auto s = static_cast<uint16_t>(d.pcm[(d.handedOut + i) / 2]);
        out[i] = static_cast<uint8_t>(s & 0xFF);
        out[i + 1] = static_cast<uint8_t>(s >> 8);
    }
    d.handedOut += n;
    setBlockInt32(b, qa118::kOffProduced, static_cast<int32_t>(n));
    setBlockInt32(b, qa118::kOffStatus, d.handedOut < total ? qa118::kStatusMore : 0);
    return 0;
}

QA118_EXPORT int16_t skv_ordinal_2110(void* block) {
    std::lock_guard<std::mutex> g(mu);
    return decodes().erase(block) ? 0 : kNotStarted;
}

// Encodes PCM (8-bit unsigned or 16-bit signed, 1 or 2 channels, interleaved) as voice-coded
// data of `variant`. On success (0) *out holds the data, to be freed with qa118_free.
QA118_EXPORT int32_t qa118_encode(const void* pcm, uint32_t bytes, uint32_t bitsPerSample,
                                  uint32_t channels, uint32_t rate, int32_t variant, uint8_t** out,
                                  uint32_t* outLength) {
    if (!out || !outLength || (bitsPerSample != 8 && bitsPerSample != 16) || channels < 1 ||
        channels > 2 || (!pcm && bytes))
        return kBadBlock;
    const size_t frameBytes = bitsPerSample / 8 * channels;
    const size_t frames = bytes / frameBytes;
    std::vector<int16_t> samples(frames * channels);
    const auto* p = static_cast<const uint8_t*>(pcm);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = bitsPerSample == 8 ? static_cast<int16_t>((p[i] - 128) << 8)
                                        : static_cast<int16_t>(p[2 * i] | p[2 * i + 1] << 8);
    std::vector<uint8_t> coded;
    if (!qa118::encodeVox(samples.data(), frames, channels, rate, variant, &coded, nullptr))
        return kBadData;
    *out = static_cast<uint8_t*>(std::malloc(coded.size() ? coded.size() : 1));
    if (!*out) return kBadData;
    std::copy(coded.begin(), coded.end(), *out);
    *outLength = static_cast<uint32_t>(coded.size());
    return 0;
}

QA118_EXPORT void qa118_free(void* p) {
    std::free(p);
}
