// Sound members: a WAV file stored raw (its PCM as it is) or voice-coded through qa118dec's
// encoder at one of the three voice variants. A voice-coded sound plays as 16-bit PCM at the rate
// its variant names, so the variant is the sound's rate in the movie: by default the lowest of
// 8000, 11025 and 22050 that keeps the file's rate (22050 for anything faster).
#include "core/archive.h"
#include "core/guid.h"
#include "members.h"
#include "sound/voicecodec.h"
#include "sound/wave.h"
#include "wavfile.h"

namespace skvc {

namespace {

// A sound whose voice-coded body was made once, at build time: written as it is, so that the
// stream is the same from build to build. It reads back as the player's NWave.
class CodedWave : public skv::NWave {
public:
    void serialize(skv::uArchive& ar) override {
        if (!ar.isStoring()) return NWave::serialize(ar);
        skvObject::serialize(ar);
        ar.writeInt32(kTagNWVE);
        ar.writeInt32(static_cast<int32_t>(coded.size()));
        ar.writeInt32(loops);
        ar.writeInt32(kStorageVoice);
        ar.writeInt32(codecVariant);
        ar.write(&format, sizeof format);
        ar.write(coded.data(), static_cast<int32_t>(coded.size()));
    }
    int32_t sizeHint() override { return static_cast<int32_t>(coded.size()) + 26; }

    std::vector<uint8_t> coded;
};

struct Variant {
    int32_t rate;
    int32_t code;
};
constexpr Variant kVariants[] = {{8000, skv::VoiceCodec::kVariant8000},
                                 {11025, skv::VoiceCodec::kVariant11025},
                                 {22050, skv::VoiceCodec::kVariant22050}};

bool rawRate(int32_t rate) {
    return rate == 8000 || rate == 11025 || rate == 22050 || rate == 44100;
}

WAVEFORMATEX pcmFormat(int32_t channels, int32_t rate, int32_t bits) {
    WAVEFORMATEX f{};
    f.wFormatTag = WAVE_FORMAT_PCM;
    f.nChannels = static_cast<WORD>(channels);
    f.nSamplesPerSec = static_cast<DWORD>(rate);
    f.nBlockAlign = static_cast<WORD>(channels * bits / 8);
    f.nAvgBytesPerSec = f.nBlockAlign * f.nSamplesPerSec;
    f.wBitsPerSample = static_cast<WORD>(bits);
    return f;
}

} // namespace

void compileSoundMember(MemberContext& context, Fields& f, CompiledMember& member) {
    const std::vector<uint8_t> bytes = context.readAsset(f, "file");
    WavSound wav;
    std::string error;
    if (!decodeWav(bytes.data(), bytes.size(), &wav, &error)) f.fail("file", error);
    const std::string storage = f.string("storage").value_or("raw");
    if (storage != "raw" && storage != "voice")
        f.fail("storage", "must be \"raw\" (the samples as they are) or \"voice\" (voice-coded, "
                          "about a fifth of the size)");
    const std::optional<int64_t> voiceRate = f.integer("voice-rate", 8000, 22050);
    const bool loops = f.boolean("loop", false);

    std::unique_ptr<skv::NWave> wave;
    if (storage == "raw") {
        if (voiceRate) f.fail("voice-rate", "is for storage = \"voice\" only");
        if (!rawRate(wav.samplesPerSecond))
            f.fail("file", "a raw sound plays at 8000, 11025, 22050 or 44100 samples a second, "
                           "not " +
                               std::to_string(wav.samplesPerSecond) +
                               ": resample the file, or use storage = \"voice\", which converts "
                               "any rate");
        wave = std::make_unique<skv::NWave>();
        wave->format = pcmFormat(wav.channels, wav.samplesPerSecond, wav.bitsPerSample);
        wave->samples = std::move(wav.pcm);
        wave->storageKind = skv::NWave::kStorageRaw;
    } else {
        const Variant* variant = nullptr;
        for (const Variant& v : kVariants)
            if (voiceRate ? v.rate == *voiceRate : (!variant && wav.samplesPerSecond <= v.rate))
                variant = &v;
        if (!voiceRate && !variant) variant = &kVariants[2];
        if (!variant) f.fail("voice-rate", "must be 8000, 11025 or 22050");
        auto coded = std::make_unique<CodedWave>();
        skv::VoiceCodec codec;
        codec.setEncoderVariant(variant->code);
        const WAVEFORMATEX in = pcmFormat(wav.channels, wav.samplesPerSecond, wav.bitsPerSample);
        if (!skv::VoiceCodec::libraryAvailable())
            f.fail("storage", "voice coding needs the qa118dec library beside skvc");
        if (codec.encode(in, wav.pcm.data(), static_cast<int32_t>(wav.pcm.size()), &coded->coded))
            f.fail("file", "the voice encoder refused the sound");
        // As the player will read it: 16-bit samples at the variant's rate.
        coded->format = pcmFormat(wav.channels, variant->rate, 16);
        coded->codecVariant = variant->code;
        coded->storageKind = skv::NWave::kStorageVoice;
        coded->samples.clear();
        wave = std::move(coded);
    }
    wave->loops = loops ? 1 : 0;
    wave->objectId = skv::memberGuid(member.number);
    member.object = std::move(wave);
}

} // namespace skvc
