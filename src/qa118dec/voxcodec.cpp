// Encoding and decoding the voice-coded format (the layout is in voxformat.h).
#include <opus.h>

#include <algorithm>
#include <cmath>
#include <memory>

#include "resample.h"
#include "voxformat.h"

namespace qa118 {

namespace {

uint32_t le32(const uint8_t* p) {
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

void put32(std::vector<uint8_t>& v, uint32_t x) {
    for (int i = 0; i < 4; ++i)
        v.push_back(static_cast<uint8_t>(x >> (8 * i)));
}

int32_t bitrateOf(int32_t variant) {
    switch (variant) {
    case kVariant8000:
        return 24000;
    case kVariant11025:
        return 32000;
    default:
        return 48000;
    }
}

struct DecoderFree {
    void operator()(OpusDecoder* d) const { opus_decoder_destroy(d); }
};
struct EncoderFree {
    void operator()(OpusEncoder* e) const { opus_encoder_destroy(e); }
};

int16_t clamp16(float v) {
    return static_cast<int16_t>(std::lround(std::clamp(v, -32768.0f, 32767.0f)));
}

bool fail(std::string* error, const std::string& why) {
    if (error) *error = why;
    return false;
}

} // namespace

int32_t variantRate(int32_t variant) {
    switch (variant) {
    case kVariant8000:
        return 8000;
    case kVariant11025:
        return 11025;
    case kVariant22050:
        return 22050;
    default:
        return 0;
    }
}

int32_t codedRate(int32_t variant) {
    switch (variant) {
    case kVariant8000:
        return 8000;
    case kVariant11025:
        return 12000;
    case kVariant22050:
        return 24000;
    default:
        return 0;
    }
}

bool decodeVox(const uint8_t* data, size_t size, uint32_t outRate, uint32_t outChannels,
               std::vector<int16_t>* pcm, std::string* error) {
    if (!data || size < kHeaderSize || std::string(data, data + 4) != "QVOX")
        return fail(error, "not voice-coded data: no QVOX header");
    VoxHeader h;
    if (data[4] != 1) return fail(error, "unknown version of the voice-coded format");
    h.channels = data[5];
    h.packetSamples = uint32_t{data[6]} | uint32_t{data[7]} << 8;
    h.variant = static_cast<int32_t>(le32(data + 8));
    h.codedRate = le32(data + 12);
    h.preSkip = le32(data + 16);
    h.frames = le32(data + 20);
    h.packets = le32(data + 24);
    const int32_t rate = variantRate(h.variant);
    if (!rate || h.codedRate != static_cast<uint32_t>(codedRate(h.variant)))
        return fail(error, "unknown variant or coded rate");
    if (h.channels < 1 || h.channels > 2) return fail(error, "channels must be 1 or 2");
    if (h.packetSamples != h.codedRate / 50) return fail(error, "packets must be 20 ms long");
    if (h.frames > kMaxFrames) return fail(error, "sound too long");
    if (outChannels < 1 || outChannels > 2 || outRate < 1000 || outRate > 192000)
        return fail(error, "output must be 1 or 2 channels at 1000 to 192000 samples/s");
    // Samples at the coded rate the header promises, and packets enough to hold them.
    const uint64_t coded = (uint64_t{h.frames} * h.codedRate + rate - 1) / rate;
    const uint64_t needed = coded + h.preSkip;
    if (h.preSkip > h.packetSamples * 4) return fail(error, "pre-skip too long");
    if (uint64_t{h.packets} * h.packetSamples < needed ||
        uint64_t{h.packets} * h.packetSamples > needed + h.packetSamples)
        return fail(error, "packet count does not match the length");
    if (uint64_t{h.packets} * 3 > size) return fail(error, "data shorter than its packets");
    // What decoding holds at once: the coded samples, and the sound at the rate asked for as
    // floats and as 16-bit samples. A few hundred kilobytes of packets can promise an hour at
    // 192000 samples a second, which would take gigabytes.
    const uint64_t outSamples = uint64_t{h.frames} * outRate / static_cast<uint32_t>(rate) *
                                std::max(h.channels, outChannels);
    if (outSamples > kMaxDecodedSamples) return fail(error, "sound too long at the rate asked for");

    int err = 0;
    std::unique_ptr<OpusDecoder, DecoderFree> dec(opus_decoder_create(
        static_cast<opus_int32>(h.codedRate), static_cast<int>(h.channels), &err));
    if (!dec || err != OPUS_OK) return fail(error, "cannot start the Opus decoder");
    std::vector<float> decoded(static_cast<size_t>(h.packets) * h.packetSamples * h.channels);
    size_t at = kHeaderSize;
    for (uint32_t i = 0; i < h.packets; ++i) {
        if (size - at < 2) return fail(error, "data ends inside a packet length");
        const uint32_t len = uint32_t{data[at]} | uint32_t{data[at + 1]} << 8;
        at += 2;
        if (len == 0 || len > kMaxPacket || size - at < len)
            return fail(error, "bad packet length");
        const int n = opus_decode_float(dec.get(), data + at, static_cast<opus_int32>(len),
                                        decoded.data() + size_t{i} * h.packetSamples * h.channels,
                                        static_cast<int>(h.packetSamples), 0);
        if (n != static_cast<int>(h.packetSamples)) return fail(error, "a packet does not decode");
        at += len;
    }
    // Drop the encoder's look-ahead, keep the sound's own samples, back to 16-bit range.
    std::vector<float> sound(decoded.begin() + size_t{h.preSkip} * h.channels,
                             decoded.begin() + static_cast<size_t>(needed) * h.channels);
    for (float& v : sound)
        v *= 32768.0f;
    const size_t outFrames = static_cast<size_t>(uint64_t{h.frames} * outRate / rate);
    std::vector<float> at_out =
        resample(sound, static_cast<size_t>(coded), h.channels, h.codedRate, outRate, outFrames);
    pcm->assign(outFrames * outChannels, 0);
    for (size_t j = 0; j < outFrames; ++j) {
        if (h.channels == outChannels) {
            for (uint32_t c = 0; c < outChannels; ++c)
                (*pcm)[j * outChannels + c] = clamp16(at_out[j * h.channels + c]);
        } else if (h.channels == 1) {
            (*pcm)[j * 2] = (*pcm)[j * 2 + 1] = clamp16(at_out[j]);
        } else {
            (*pcm)[j] = clamp16((at_out[j * 2] + at_out[j * 2 + 1]) / 2);
        }
    }
    return true;
}

bool encodeVox(const int16_t* pcm, size_t frames, uint32_t channels, uint32_t rate, int32_t variant,
               std::vector<uint8_t>* out, std::string* error) {
    const int32_t vRate = variantRate(variant);
    if (!vRate) return fail(error, "unknown variant: use 0x8000001, 0x8000002 or 0x8000004");
    if (channels < 1 || channels > 2) return fail(error, "channels must be 1 or 2");
    if (rate < 1000 || rate > 192000) return fail(error, "rate must be 1000 to 192000");
    if (!pcm && frames) return fail(error, "no samples");
    const uint64_t vFrames = uint64_t{frames} * vRate / rate;
    if (vFrames > kMaxFrames) return fail(error, "sound too long");
    const uint32_t cRate = static_cast<uint32_t>(codedRate(variant));
    const uint32_t packetSamples = cRate / 50;

    std::vector<float> in(frames * channels);
    for (size_t i = 0; i < in.size(); ++i)
        in[i] = pcm[i] / 32768.0f;
    // First to the variant's rate (what the sound is), then to the rate Opus codes.
    std::vector<float> atVariant = resample(in, frames, channels, rate, vRate, vFrames);
    const size_t coded = static_cast<size_t>((vFrames * cRate + vRate - 1) / vRate);
    std::vector<float> atCoded = resample(atVariant, vFrames, channels, vRate, cRate, coded);

    int err = 0;
    std::unique_ptr<OpusEncoder, EncoderFree> enc(
        opus_encoder_create(static_cast<opus_int32>(cRate), static_cast<int>(channels),
                            OPUS_APPLICATION_RESTRICTED_LOWDELAY, &err));
    if (!enc || err != OPUS_OK) return fail(error, "cannot start the Opus encoder");
    opus_encoder_ctl(enc.get(), OPUS_SET_BITRATE(bitrateOf(variant)));
    opus_encoder_ctl(enc.get(), OPUS_SET_COMPLEXITY(10));
    opus_int32 lookahead = 0;
    opus_encoder_ctl(enc.get(), OPUS_GET_LOOKAHEAD(&lookahead));

    const size_t needed = coded + static_cast<size_t>(lookahead);
    const size_t packets = (needed + packetSamples - 1) / packetSamples;
    atCoded.resize(packets * packetSamples * channels, 0.0f);

    out->clear();
    out->reserve(kHeaderSize + packets * 64);
    for (char c : {'Q', 'V', 'O', 'X'})
        out->push_back(static_cast<uint8_t>(c));
    out->push_back(1);
    out->push_back(static_cast<uint8_t>(channels));
    out->push_back(static_cast<uint8_t>(packetSamples & 0xFF));
    out->push_back(static_cast<uint8_t>(packetSamples >> 8));
    put32(*out, static_cast<uint32_t>(variant));
    put32(*out, cRate);
    put32(*out, static_cast<uint32_t>(lookahead));
    put32(*out, static_cast<uint32_t>(vFrames));
    put32(*out, static_cast<uint32_t>(packets));
    unsigned char packet[kMaxPacket];
    for (size_t i = 0; i < packets; ++i) {
        const opus_int32 n =
            opus_encode_float(enc.get(), atCoded.data() + i * packetSamples * channels,
                              static_cast<int>(packetSamples), packet, kMaxPacket);
        if (n <= 0) return fail(error, "the Opus encoder failed");
        out->push_back(static_cast<uint8_t>(n & 0xFF));
        out->push_back(static_cast<uint8_t>(n >> 8));
        out->insert(out->end(), packet, packet + n);
    }
    return true;
}

} // namespace qa118
