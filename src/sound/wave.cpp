#include "sound/wave.h"

#include <atomic>
#include <cstring>

#include "core/archive.h"
#include "core/classids.h"
#include "core/errors.h"
#include "gfx/animation.h"
#include "gfx/view.h"
#include "sound/soundstage.h"
#include "sound/valuereduction.h"
#include "sound/voicecodec.h"

namespace skv {

namespace {

std::atomic<int32_t> gWriteKind{NWave::kStorageRaw};
std::atomic<int32_t> gThreshold{0};

int32_t rateOfVariant(int32_t variant) {
    switch (variant) {
    case VoiceCodec::kVariant8000:
        return 8000;
    case VoiceCodec::kVariant11025:
        return 11025;
    case VoiceCodec::kVariant22050:
        return 22050;
    default:
        return 0;
    }
}

// Reads n bytes as they arrive, so that a lying length on a short stream fails at the short
// read and not after a large allocation.
std::vector<uint8_t> readBlock(uArchive& ar, size_t n) {
    std::vector<uint8_t> out;
    while (out.size() < n) {
        const size_t piece = std::min<size_t>(n - out.size(), 1 << 20);
        const size_t at = out.size();
        out.resize(at + piece);
        ar.read(out.data() + at, static_cast<int32_t>(piece));
    }
    return out;
}

// The player behind the stage and the stage's compositor, when the view has both.
bool stageOf(skvView* view, SoundStage** stage, nAnimation** animation) {
    if (!view) return false;
    *stage = dynamic_cast<SoundStage*>(view);
    *animation = view->animation();
    return *stage && *animation;
}

} // namespace

NWave::NWave() {
    setClassId(CLSID_NWave);
    allocate(16, 11025, 8, 1);
}

int32_t NWave::allocate(int32_t frames, int32_t samplesPerSecond, int32_t bitsPerSample,
                        int32_t channels) {
    if (samplesPerSecond != 8000 && samplesPerSecond != 11025 && samplesPerSecond != 22050 &&
        samplesPerSecond != 44100)
        return 0;
    if (bitsPerSample != 8 && bitsPerSample != 16) return 0;
    if (frames < 0 || channels < 1 || channels > 2) return 0;
    const int32_t frameBytes = bitsPerSample / 8;
    samples.assign(static_cast<size_t>(channels) * frames * frameBytes, 0);
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = static_cast<WORD>(channels);
    format.nSamplesPerSec = static_cast<DWORD>(samplesPerSecond);
    format.nBlockAlign = static_cast<WORD>(channels * bitsPerSample / 8);
    format.nAvgBytesPerSec = format.nBlockAlign * format.nSamplesPerSec;
    format.wBitsPerSample = static_cast<WORD>(bitsPerSample);
    format.cbSize = 0;
    return 1;
}

void NWave::draw(skvView* view, const SpriteChannel*) {
    SoundStage* stage;
    nAnimation* animation;
    if (!stageOf(view, &stage, &animation)) return;
    skvObject* current = stage->currentSound();
    if (!current || std::memcmp(&current->objectId, &objectId, sizeof objectId) != 0)
        animation->setPendingSound(this);
}

void NWave::place(skvView* view, const SpriteChannel*) {
    SoundStage* stage;
    nAnimation* animation;
    if (!stageOf(view, &stage, &animation)) return;
    skvObject* current = stage->currentSound();
    if (current && std::memcmp(&current->objectId, &objectId, sizeof objectId) == 0 &&
        !stage->showsHubScore())
        animation->requestSoundStop();
}

void NWave::setWriteStorageKind(int32_t kind) {
    gWriteKind = kind;
}
int32_t NWave::writeStorageKind() {
    return gWriteKind;
}
void NWave::setReductionThreshold(int32_t threshold) {
    gThreshold = threshold;
}
int32_t NWave::reductionThreshold() {
    return gThreshold;
}

void NWave::serialize(uArchive& ar) {
    if (ar.isStoring())
        store(ar);
    else
        load(ar);
}

void NWave::load(uArchive& ar) {
    ar.readInt32(); // the tag tells readers of dumps what follows, not us
    const int32_t length = ar.readInt32();
    loops = ar.readInt32();
    storageKind = ar.readInt32();
    codecVariant = ar.readInt32();
    ar.read(&format, sizeof format);
    if (length < 0 || length > kMaxStoredBytes) throw CoreError{kErrShortRead};
    std::vector<uint8_t> data = readBlock(ar, static_cast<size_t>(length));
    playing = 0;
    reduced = 0;
    if (storageKind != kStorageVoice) {
        samples = std::move(data);
        return;
    }
    format.wBitsPerSample = 16;
    if (const int32_t rate = rateOfVariant(codecVariant))
        format.nSamplesPerSec = static_cast<DWORD>(rate);
    format.nBlockAlign = static_cast<WORD>(format.nChannels * 2);
    format.nAvgBytesPerSec = format.nBlockAlign * format.nSamplesPerSec;
    VoiceCodec codec;
    codec.setDecoderVariant(codecVariant);
    codec.configure(format.nChannels, static_cast<int32_t>(format.nSamplesPerSec), 16);
    samples.clear();
    std::vector<uint8_t> pcm;
    if (codec.decode(data.data(), length, &pcm) == 0) samples = std::move(pcm);
}

void NWave::store(uArchive& ar) {
    skvObject::serialize(ar);
    int32_t kind = writeStorageKind();
    int32_t variant = codecVariant;
    std::vector<uint8_t> coded;
    const std::vector<uint8_t>* body = &samples;
    if (kind == kStorageReduced && format.wBitsPerSample == 8 && !reduced &&
        reductionThreshold() != 0) {
        reduceValues(samples, reductionThreshold());
        reduced = 1;
    }
    if (kind == kStorageVoice) {
        variant =
            format.nSamplesPerSec == 8000 ? VoiceCodec::kVariant8000 : VoiceCodec::kVariant11025;
        VoiceCodec codec;
        codec.setEncoderVariant(variant);
        if (codec.encode(format, samples.data(), sampleBytes(), &coded) == 0) {
            body = &coded;
        } else {
            // Without the encoder the sound is kept as it is rather than lost.
            kind = kStorageRaw;
            variant = codecVariant;
        }
    }
    ar.writeInt32(kTagNWVE);
    ar.writeInt32(static_cast<int32_t>(body->size()));
    ar.writeInt32(loops);
    ar.writeInt32(kind);
    ar.writeInt32(variant);
    ar.write(&format, sizeof format);
    ar.write(body->data(), static_cast<int32_t>(body->size()));
}

} // namespace skv
