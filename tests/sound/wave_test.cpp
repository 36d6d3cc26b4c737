// NWave: allocation, the stored form raw and voice-coded, value reduction, and starting and
// stopping through the stage.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "core/errors.h"
#include "core/guid.h"
#include "gfx/animation.h"
#include "gfx/view.h"
#include "sound/soundstage.h"
#include "sound/valuereduction.h"
#include "sound/voicecodec.h"
#include "sound_test_util.h"

namespace {

using skv::NWave;
using soundtest::loadBody;
using soundtest::storedBody;

WAVEFORMATEX pcm(DWORD rate, WORD bits, WORD channels) {
    return WAVEFORMATEX{WAVE_FORMAT_PCM,
                        channels,
                        rate,
                        rate * channels * bits / 8,
                        static_cast<WORD>(channels * bits / 8),
                        bits,
                        0};
}

TEST(NWaveMember, ANewSoundIsSixteenFramesOfSilenceAndAllocateChecksItsFormat) {
    NWave w;
    EXPECT_EQ(w.sampleBytes(), 16);
    EXPECT_EQ(w.format.nSamplesPerSec, 11025u);
    EXPECT_EQ(w.format.wBitsPerSample, 8);
    EXPECT_EQ(w.sizeHint(), 16 + 26);
    EXPECT_EQ(w.storageKind, NWave::kStorageVoice);

    EXPECT_EQ(w.allocate(100, 12000, 16, 1), 0);
    EXPECT_EQ(w.allocate(100, 22050, 12, 1), 0);
    EXPECT_EQ(w.sampleBytes(), 16); // unchanged
    ASSERT_EQ(w.allocate(100, 44100, 16, 2), 1);
    EXPECT_EQ(w.sampleBytes(), 400);
    EXPECT_EQ(w.format.nBlockAlign, 4);
    EXPECT_EQ(w.format.nAvgBytesPerSec, 176400u);
    EXPECT_TRUE(std::all_of(w.samples.begin(), w.samples.end(), [](uint8_t b) { return b == 0; }));
}

TEST(NWaveMember, RawSoundsStoreAndLoadAsTheyAre) {
    NWave::setWriteStorageKind(NWave::kStorageRaw);
    NWave w;
    w.allocate(5, 8000, 8, 1);
    w.samples = {1, 2, 3, 200, 255};
    w.loops = 1;
    auto* pipe = new skv::MemoryPipe;
    std::vector<uint8_t> stored;
    {
        skv::uArchive ar(pipe, skv::uArchive::kStoring);
        w.serialize(ar);
        stored = pipe->bytes();
    }
    const std::vector<uint8_t> body(stored.begin() + 64, stored.end());
    EXPECT_EQ(body, storedBody(0, 0x8000002, w.format, w.samples, 1));

    NWave back;
    loadBody(back, body);
    EXPECT_EQ(back.samples, w.samples);
    EXPECT_EQ(back.loops, 1);
    EXPECT_EQ(back.format.nSamplesPerSec, 8000u);
    EXPECT_EQ(back.storageKind, 0);
}

TEST(NWaveMember, AVoiceCodedSoundReadsAsSixteenBitsAtItsVariantsRate) {
    soundtest::PrivateTemp temp;
    // Coded from 22050/s speech; the stored format claims 8000/s, 8 bits.
    const auto source = soundtest::speech(22050, 0.5);
    skv::VoiceCodec enc;
    enc.setEncoderVariant(0x8000004);
    std::vector<uint8_t> coded;
    const auto bytes = soundtest::asBytes(source);
    ASSERT_EQ(
        enc.encode(pcm(22050, 16, 1), bytes.data(), static_cast<int32_t>(bytes.size()), &coded), 0);
    NWave w;
    loadBody(w, storedBody(NWave::kStorageVoice, 0x8000004, pcm(8000, 8, 1), coded));
    EXPECT_EQ(w.format.nSamplesPerSec, 22050u);
    EXPECT_EQ(w.format.wBitsPerSample, 16);
    EXPECT_EQ(w.format.nBlockAlign, 2);
    EXPECT_EQ(w.format.nAvgBytesPerSec, 44100u);
    EXPECT_EQ(w.sampleBytes(), static_cast<int32_t>(bytes.size()));
    EXPECT_GT(soundtest::snrDb(source, soundtest::asSamples(w.samples), 22050), 15.0);

    // An unknown variant keeps the stored rate; data that does not decode leaves no samples.
    NWave bad;
    loadBody(bad, storedBody(NWave::kStorageVoice, 0x77, pcm(8000, 8, 1), {1, 2, 3}));
    EXPECT_EQ(bad.format.nSamplesPerSec, 8000u);
    EXPECT_EQ(bad.sampleBytes(), 0);
    EXPECT_TRUE(temp.files().empty());
}

TEST(NWaveMember, WritingVoiceCodedPicksTheVariantFromTheRate) {
    soundtest::PrivateTemp temp;
    NWave::setWriteStorageKind(NWave::kStorageVoice);
    for (auto [rate, variant] :
         {std::pair{8000, 0x8000001}, std::pair{11025, 0x8000002}, std::pair{22050, 0x8000002}}) {
        NWave w;
        w.allocate(rate / 2, rate, 16, 1);
        const auto s = soundtest::speech(rate, 0.5);
        w.samples = soundtest::asBytes(s);
        auto* pipe = new skv::MemoryPipe;
        std::vector<uint8_t> stored;
        {
            skv::uArchive ar(pipe, skv::uArchive::kStoring);
            w.serialize(ar);
            stored = pipe->bytes();
        }
        NWave back;
        loadBody(back, std::vector<uint8_t>(stored.begin() + 64, stored.end()));
        EXPECT_EQ(back.storageKind, NWave::kStorageVoice);
        EXPECT_EQ(back.codecVariant, variant) << rate;
        const int vRate = variant == 0x8000001 ? 8000 : 11025;
        EXPECT_EQ(back.format.nSamplesPerSec, static_cast<DWORD>(vRate));
        // Half a second of 16-bit samples at the variant's rate.
        EXPECT_EQ(back.sampleBytes(), (rate / 2) * vRate / rate * 2) << rate;
        EXPECT_LT(static_cast<int32_t>(stored.size()), w.sampleBytes() / 2);
    }
    NWave::setWriteStorageKind(NWave::kStorageRaw);
}

TEST(NWaveMember, ShortOrLyingStoredFormsRaiseTheShortRead) {
    auto body = storedBody(0, 0x8000002, pcm(11025, 8, 1), std::vector<uint8_t>(100, 7));
    for (size_t cut : {size_t{3}, size_t{20}, size_t{37}, body.size() - 1}) {
        NWave w;
        EXPECT_THROW(loadBody(w, std::vector<uint8_t>(body.begin(), body.begin() + cut)),
                     skv::CoreError)
            << cut;
    }
    for (int32_t length : {-1, NWave::kMaxStoredBytes + 1, 1 << 30}) {
        auto lying = body;
        std::memcpy(lying.data() + 4, &length, 4);
        NWave w;
        EXPECT_THROW(loadBody(w, lying), skv::CoreError) << length;
    }
}

TEST(ValueReduction, RareNearValuesMergeIntoFrequentOnesThatOccur) {
    std::vector<uint8_t> s;
    for (int i = 0; i < 50; ++i)
        s.push_back(100);
    for (int i = 0; i < 30; ++i)
        s.push_back(150);
    s.push_back(102); // near 100
    s.push_back(147); // near 150
    s.push_back(125); // far from both
    s.push_back(10);  // below 40: becomes 0
    skv::reduceValues(s, 3);
    std::multiset<uint8_t> got(s.begin(), s.end());
    EXPECT_EQ(got.count(100), 51u);
    EXPECT_EQ(got.count(150), 31u);
    EXPECT_EQ(got.count(125), 1u);
    EXPECT_EQ(got.count(0), 1u);
    // Every value in the result was in the input (after the zeroing).
    for (uint8_t v : got)
        EXPECT_TRUE(v == 0 || v == 100 || v == 150 || v == 125) << int(v);

    // A threshold of 0 changes nothing at all.
    std::vector<uint8_t> same = {10, 100, 101};
    skv::reduceValues(same, 0);
    EXPECT_EQ(same, (std::vector<uint8_t>{10, 100, 101}));
}

TEST(ValueReduction, AWideThresholdMergesEverythingIntoTheMostFrequentValues) {
    // Most values drop out of the ranking while it is being walked.
    std::vector<uint8_t> s;
    for (int v = 40; v < 256; ++v)
        for (int k = 0; k < (v == 128 ? 9 : 1 + v % 3); ++k)
            s.push_back(static_cast<uint8_t>(v));
    skv::reduceValues(s, 200);
    std::set<uint8_t> values(s.begin(), s.end());
    EXPECT_EQ(values, (std::set<uint8_t>{128}));
}

TEST(ValueReduction, WritingReducedSoundsReducesOnce) {
    NWave::setWriteStorageKind(NWave::kStorageReduced);
    NWave::setReductionThreshold(2);
    NWave w;
    w.samples = {100, 100, 100, 101, 30};
    {
        skv::uArchive ar(new skv::MemoryPipe, skv::uArchive::kStoring);
        w.serialize(ar);
    }
    EXPECT_EQ(w.samples, (std::vector<uint8_t>{100, 100, 100, 100, 0}));
    EXPECT_EQ(w.reduced, 1);
    w.samples = {100, 101, 101, 101};
    {
        skv::uArchive ar(new skv::MemoryPipe, skv::uArchive::kStoring);
        w.serialize(ar);
    }
    EXPECT_EQ(w.samples, (std::vector<uint8_t>{100, 101, 101, 101})); // already reduced
    NWave::setReductionThreshold(0);
    NWave::setWriteStorageKind(NWave::kStorageRaw);
}

// ---- start and stop through the stage --------------------------------------------------------

class Stage : public skv::skvView, public skv::SoundStage {
public:
    skv::nAnimation* animation() override { return &anim; }
    skv::skvObject* currentSound() override { return current; }
    bool showsHubScore() override { return hub; }
    skv::nAnimation anim;
    skv::skvObject* current = nullptr;
    bool hub = false;
};

TEST(NWaveMember, DrawStartsAtTheNextFlushUnlessAlreadyPlayingAndPlaceStopsIt) {
    Stage stage;
    NWave a, b, sameAsA;
    a.objectId = skv::memberGuid(3);
    sameAsA.objectId = skv::memberGuid(3);
    b.objectId = skv::memberGuid(4);

    a.draw(&stage, nullptr);
    EXPECT_EQ(stage.anim.pendingSound(), &a);
    stage.anim.setPendingSound(nullptr);
    stage.current = &a;
    sameAsA.draw(&stage, nullptr); // the same member by identity: not restarted
    EXPECT_EQ(stage.anim.pendingSound(), nullptr);
    b.draw(&stage, nullptr);
    EXPECT_EQ(stage.anim.pendingSound(), &b);

    b.place(&stage, nullptr); // not the one playing
    EXPECT_EQ(stage.anim.stopSoundPending(), 0);
    stage.hub = true;
    sameAsA.place(&stage, nullptr);
    EXPECT_EQ(stage.anim.stopSoundPending(), 0);
    stage.hub = false;
    sameAsA.place(&stage, nullptr);
    EXPECT_EQ(stage.anim.stopSoundPending(), 1);

    // A view that is not a sound stage is left alone.
    skv::skvView plain;
    a.draw(&plain, nullptr);
    a.place(nullptr, nullptr);
}

} // namespace
