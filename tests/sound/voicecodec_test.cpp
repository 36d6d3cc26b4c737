// The codec object against the decoder library: what it passes in the parameter block, how it
// stages the output, its failure paths, and what voice coding keeps of a sound; and the
// decoder's resampler, what it costs and what it keeps.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <iostream>

#include "qa118dec/paramblock.h"
#include "qa118dec/resample.h"
#include "qa118dec/voxformat.h"
#include "sound/voicecodec.h"
#include "sound_test_util.h"

namespace {

using skv::VoiceCodec;
using namespace qa118;

// A fake library: hands out `pieces` pieces of `pieceBytes` bytes (byte k of the output is
// k & 0xFF), failing at the step named in `failAt`.
struct Fake {
    int pieces = 3;
    int pieceBytes = 1000;
    std::string failAt;
    int handed = 0;
    int inits = 0, converts = 0, finishes = 0;
    uint8_t lastBlock[kBlockSize] = {};
    int32_t produceOverride = -1;
};
Fake fake;

int16_t fakeInit(void* b) {
    ++fake.inits;
    std::memcpy(fake.lastBlock, b, kBlockSize);
    fake.handed = 0;
    return fake.failAt == "init" ? 7 : 0;
}
int16_t fakeConvert(void* block) {
    ++fake.converts;
    auto* b = static_cast<uint8_t*>(block);
    if (fake.failAt == "convert" && fake.converts == 2) return 9;
    auto* out = static_cast<uint8_t*>(blockAddress(b, kOffOutData, kOffOutDataHigh));
    for (int i = 0; i < fake.pieceBytes; ++i)
        out[i] = static_cast<uint8_t>(fake.handed * fake.pieceBytes + i);
    ++fake.handed;
    setBlockInt32(b, kOffProduced,
                  fake.produceOverride >= 0 ? fake.produceOverride : fake.pieceBytes);
    setBlockInt32(b, kOffStatus, fake.handed < fake.pieces ? kStatusMore : 0);
    return 0;
}
int16_t fakeFinish(void*) {
    ++fake.finishes;
    return fake.failAt == "finish" ? 5 : 0;
}
const VoiceCodec::DecoderCalls fakeCalls{fakeInit, fakeConvert, fakeFinish};

std::vector<std::string> hookSteps;
void recordHook(const char* step, const uint8_t*, int32_t) {
    hookSteps.push_back(step);
}

class Codec : public ::testing::Test {
protected:
    void SetUp() override {
        fake = Fake{};
        hookSteps.clear();
        VoiceCodec::setDecoderCallsForTesting(&fakeCalls);
        VoiceCodec::setDiagnosticHook(recordHook);
    }
    void TearDown() override {
        VoiceCodec::setDecoderCallsForTesting(nullptr);
        VoiceCodec::setDiagnosticHook(nullptr);
    }
    soundtest::PrivateTemp temp;
};

TEST_F(Codec, TheBlockDescribesTheDecode) {
    VoiceCodec c;
    EXPECT_EQ(c.decoderVariant(), 0x8000002);
    EXPECT_EQ(c.samplesPerSecond(), 11025);
    EXPECT_EQ(c.bitsPerSample(), 8);
    c.setDecoderVariant(0x8000004);
    c.configure(2, 22050, 16);
    const uint8_t coded[5] = {1, 2, 3, 4, 5};
    std::vector<uint8_t> pcm;
    ASSERT_EQ(c.decode(coded, 5, &pcm), 0);
    const uint8_t* b = fake.lastBlock;
    EXPECT_EQ(blockInt16(b, 0), 142);
    EXPECT_EQ(blockInt32(b, 8), 0x10201);
    EXPECT_EQ(blockAddress(b, kOffInData, kOffInDataHigh), coded);
    EXPECT_EQ(blockInt32(b, 16), 5);
    EXPECT_EQ(blockInt32(b, 30), 0x20200);
    EXPECT_EQ(blockInt32(b, 38), 0x7FFF);
    EXPECT_EQ(blockInt32(b, 46), 22050);
    EXPECT_EQ(blockInt16(b, 50), 2);
    EXPECT_EQ(blockInt16(b, 52), 2);
    float gain;
    std::memcpy(&gain, b + 62, 4);
    EXPECT_EQ(gain, 1.0f);
    EXPECT_EQ(blockInt32(b, 90), 0x8000004);
    // Everything else is zero (the address's high halves aside).
    for (int off : {2, 4, 6, 24, 28, 42, 58, 66, 70, 74, 78, 82, 86, 94, 120, 138})
        EXPECT_EQ(blockInt16(b, off), 0) << "offset " << off;
}

TEST_F(Codec, PiecesAreStagedInATemporaryFileAndReadBackWhole) {
    VoiceCodec c;
    std::vector<uint8_t> pcm;
    ASSERT_EQ(c.decode(nullptr, 0, &pcm), 0);
    EXPECT_EQ(fake.converts, 3);
    EXPECT_EQ(fake.finishes, 1);
    ASSERT_EQ(pcm.size(), 3000u);
    for (size_t i = 0; i < pcm.size(); ++i)
        ASSERT_EQ(pcm[i], static_cast<uint8_t>(i));
    EXPECT_TRUE(temp.files().empty());

    // A first convert that does not say 92 gives one piece, then the finish.
    fake = Fake{};
    fake.pieces = 1;
    ASSERT_EQ(c.decode(nullptr, 0, &pcm), 0);
    EXPECT_EQ(fake.converts, 1);
    EXPECT_EQ(fake.finishes, 1);
    EXPECT_EQ(pcm.size(), 1000u);
}

TEST_F(Codec, EveryFailureFinishesTheDecodeAndLeavesNoTemporaryFile) {
    VoiceCodec c;
    std::vector<uint8_t> pcm = {42};
    fake.failAt = "init";
    EXPECT_EQ(c.decode(nullptr, 0, &pcm), 1);
    EXPECT_EQ(fake.finishes, 0); // nothing to finish
    fake = Fake{};
    fake.failAt = "convert";
    EXPECT_EQ(c.decode(nullptr, 0, &pcm), 1);
    EXPECT_EQ(fake.finishes, 1);
    fake = Fake{};
    fake.failAt = "finish";
    EXPECT_EQ(c.decode(nullptr, 0, &pcm), 1);
    fake = Fake{};
    fake.produceOverride = 40000; // more than the buffer holds
    EXPECT_EQ(c.decode(nullptr, 0, &pcm), 1);
    EXPECT_EQ(fake.finishes, 1);
    EXPECT_EQ(pcm, std::vector<uint8_t>{42}); // untouched
    EXPECT_EQ(hookSteps,
              (std::vector<std::string>{"dcmpVoxInit()", "dcmpVoxConvert()", "dcmpVoxFree()"}));
    EXPECT_TRUE(temp.files().empty());
}

// ---- the real library ----------------------------------------------------------------------

class Library : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(VoiceCodec::libraryAvailable()); }
    std::vector<int16_t> roundTrip(const std::vector<int16_t>& source, int rate, int32_t variant) {
        WAVEFORMATEX f{
            WAVE_FORMAT_PCM, 1, static_cast<DWORD>(rate), static_cast<DWORD>(rate * 2), 2, 16, 0};
        VoiceCodec enc;
        enc.setEncoderVariant(variant);
        std::vector<uint8_t> coded;
        const auto bytes = soundtest::asBytes(source);
        EXPECT_EQ(enc.encode(f, bytes.data(), static_cast<int32_t>(bytes.size()), &coded), 0);
        VoiceCodec dec;
        dec.setDecoderVariant(variant);
        dec.configure(1, rate, 16);
        std::vector<uint8_t> pcm;
        EXPECT_EQ(dec.decode(coded.data(), static_cast<int32_t>(coded.size()), &pcm), 0);
        codedBytes = coded.size();
        return soundtest::asSamples(pcm);
    }
    size_t codedBytes = 0;
    soundtest::PrivateTemp temp;
};

TEST_F(Library, VoiceCodingKeepsSpeechAtEveryVariant) {
    const struct {
        int rate;
        int32_t variant;
    } cases[] = {{8000, 0x8000001}, {11025, 0x8000002}, {22050, 0x8000004}};
    for (const auto& c : cases) {
        const auto source = soundtest::speech(c.rate, 2.0);
        const auto decoded = roundTrip(source, c.rate, c.variant);
        ASSERT_EQ(decoded.size(), source.size()) << c.rate;
        const double snr = soundtest::snrDb(source, decoded, c.rate);
        std::cout << "voice coding at " << c.rate << " samples/s: SNR " << snr << " dB, "
                  << codedBytes << " bytes for " << source.size() * 2 << "\n";
        RecordProperty("snr_" + std::to_string(c.rate), std::to_string(snr));
        EXPECT_GE(snr, 15.0) << c.rate;
        EXPECT_LT(codedBytes, source.size()); // well under the 16-bit PCM
    }
    EXPECT_TRUE(temp.files().empty());
}

TEST_F(Library, LongSoundsComeInPiecesOfAtMostTheCapacity) {
    // 3 s at 22050/s is 132300 bytes of PCM: five pieces of 32766 and the rest.
    static int converts;
    static int maxProduced;
    converts = maxProduced = 0;
    HMODULE m = LoadLibraryA("qa118dec");
    ASSERT_NE(m, nullptr);
    static VoiceCodec::BlockCall realConvert;
    realConvert =
        reinterpret_cast<VoiceCodec::BlockCall>(GetProcAddress(m, MAKEINTRESOURCEA(2120)));
    static VoiceCodec::DecoderCalls counting{
        reinterpret_cast<VoiceCodec::BlockCall>(GetProcAddress(m, MAKEINTRESOURCEA(2100))),
        [](void* b) -> int16_t {
            const int16_t r = realConvert(b);
            ++converts;
            maxProduced = std::max(maxProduced, blockInt32(static_cast<uint8_t*>(b), 42));
            return r;
        },
        reinterpret_cast<VoiceCodec::BlockCall>(GetProcAddress(m, MAKEINTRESOURCEA(2110)))};
    VoiceCodec::setDecoderCallsForTesting(&counting);
    const auto source = soundtest::speech(22050, 3.0);
    const auto decoded = roundTrip(source, 22050, 0x8000004);
    VoiceCodec::setDecoderCallsForTesting(nullptr);
    FreeLibrary(m);
    EXPECT_EQ(decoded.size(), source.size());
    EXPECT_EQ(converts, 5);
    EXPECT_EQ(maxProduced, 32766);
}

TEST(VoxLimits, ASoundThatWouldTakeGigabytesAtTheRateAskedForIsRefused) {
    // The longest sound the header allows at 8000/s, in 104858 packets: 300 KB of data that
    // promise 35 minutes, over 800 million samples at 192000/s in stereo.
    const uint32_t frames = qa118::kMaxFrames, packets = (frames + 159) / 160;
    std::vector<uint8_t> data(28 + size_t{packets} * 3, 0);
    std::memcpy(data.data(), "QVOX", 4);
    data[4] = 1;
    data[5] = 1;
    data[6] = 160;
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            data[at + i] = static_cast<uint8_t>(v >> (8 * i));
    };
    put32(8, 0x8000001);
    put32(12, 8000);
    put32(16, 0);
    put32(20, frames);
    put32(24, packets);
    std::vector<int16_t> pcm;
    std::string error;
    EXPECT_FALSE(qa118::decodeVox(data.data(), data.size(), 192000, 2, &pcm, &error));
    EXPECT_EQ(error, "sound too long at the rate asked for");
    // At its own rate the same header is within bounds (its empty packets fail later).
    error.clear();
    EXPECT_FALSE(qa118::decodeVox(data.data(), data.size(), 8000, 1, &pcm, &error));
    EXPECT_NE(error, "sound too long at the rate asked for");
    EXPECT_FALSE(error.empty());
}

TEST_F(Library, DataThatIsNotVoiceCodedFailsToDecode) {
    std::vector<int16_t> source = soundtest::speech(8000, 0.5);
    WAVEFORMATEX f{WAVE_FORMAT_PCM, 1, 8000, 16000, 2, 16, 0};
    VoiceCodec c;
    c.setEncoderVariant(0x8000001);
    std::vector<uint8_t> coded;
    const auto bytes = soundtest::asBytes(source);
    ASSERT_EQ(c.encode(f, bytes.data(), static_cast<int32_t>(bytes.size()), &coded), 0);
    c.setDecoderVariant(0x8000001);
    c.configure(1, 8000, 16);
    std::vector<uint8_t> pcm;
    for (size_t cut : {size_t{3}, size_t{27}, coded.size() / 2, coded.size() - 1}) {
        EXPECT_EQ(c.decode(coded.data(), static_cast<int32_t>(cut), &pcm), 1) << cut;
    }
    std::vector<uint8_t> bad = coded;
    bad[24] += 5; // the packet count no longer matches the length
    EXPECT_EQ(c.decode(bad.data(), static_cast<int32_t>(bad.size()), &pcm), 1);
    c.setDecoderVariant(0x1234); // a variant the library does not know
    EXPECT_EQ(c.decode(coded.data(), static_cast<int32_t>(coded.size()), &pcm), 1);
    EXPECT_TRUE(temp.files().empty());
}

TEST_F(Library, AStereoRequestGetsBothChannels) {
    const auto source = soundtest::speech(11025, 0.5);
    WAVEFORMATEX f{WAVE_FORMAT_PCM, 1, 11025, 22050, 2, 16, 0};
    VoiceCodec c;
    std::vector<uint8_t> coded;
    const auto bytes = soundtest::asBytes(source);
    ASSERT_EQ(c.encode(f, bytes.data(), static_cast<int32_t>(bytes.size()), &coded), 0);
    c.configure(2, 11025, 16);
    std::vector<uint8_t> pcm;
    ASSERT_EQ(c.decode(coded.data(), static_cast<int32_t>(coded.size()), &pcm), 0);
    const auto s = soundtest::asSamples(pcm);
    ASSERT_EQ(s.size(), source.size() * 2);
    for (size_t i = 0; i < s.size(); i += 2)
        ASSERT_EQ(s[i], s[i + 1]);
}

// ---- without the library -------------------------------------------------------------------

// What the process writes on standard error while it lives (a pipe: the texts are short).
class StandardErrorCapture {
public:
    StandardErrorCapture() {
        std::fflush(stderr);
        if (pipe(fds_) != 0) return;
        fcntl(fds_[0], F_SETFL, O_NONBLOCK);
        saved_ = dup(2);
        dup2(fds_[1], 2);
    }
    ~StandardErrorCapture() { restore(); }
    std::string text() {
        restore();
        return text_;
    }

private:
    void restore() {
        if (saved_ < 0) return;
        std::fflush(stderr);
        dup2(saved_, 2);
        close(saved_);
        saved_ = -1;
        close(fds_[1]);
        char buf[4096];
        for (ssize_t n; (n = read(fds_[0], buf, sizeof buf)) > 0;)
            text_.append(buf, static_cast<size_t>(n));
        close(fds_[0]);
    }
    int fds_[2] = {-1, -1};
    int saved_ = -1;
    std::string text_;
};

size_t occurrences(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

std::vector<std::string> notices;
void recordNotice(const std::string& text) {
    notices.push_back(text);
}

// The folder of this test program with its separator: a bare library name is looked for there.
std::string programFolder() {
    char path[4096];
    const DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
    const std::string p(path, n);
    return p.substr(0, p.rfind('/') + 1);
}

// Bound under a name no library has, as a plug-in whose decoder library was not installed.
class MissingLibrary : public ::testing::Test {
protected:
    void SetUp() override {
        notices.clear();
        // Sounds that the library, were it there, would decode.
        coded_ = {encodedSpeech(0.4), encodedSpeech(0.6)};
        VoiceCodec::setLibraryNameForTesting("qa118dec_absent");
        VoiceCodec::setNoticeHook(recordNotice);
    }
    void TearDown() override {
        VoiceCodec::setNoticeHook(nullptr);
        VoiceCodec::setLibraryNameForTesting(nullptr);
    }
    static std::vector<uint8_t> encodedSpeech(double seconds) {
        const auto bytes = soundtest::asBytes(soundtest::speech(11025, seconds));
        VoiceCodec c;
        std::vector<uint8_t> coded;
        EXPECT_EQ(c.encode(kFormat, bytes.data(), static_cast<int32_t>(bytes.size()), &coded), 0);
        return coded;
    }
    std::vector<uint8_t> voiceSound(size_t which) const {
        return soundtest::storedBody(skv::NWave::kStorageVoice, VoiceCodec::kVariant11025, kFormat,
                                     coded_[which]);
    }
    static constexpr WAVEFORMATEX kFormat{WAVE_FORMAT_PCM, 1, 11025, 22050, 2, 16, 0};
    std::vector<std::vector<uint8_t>> coded_;
    soundtest::PrivateTemp temp;
};

TEST_F(MissingLibrary, TwoVoiceSoundsAreSilentAndTheLibraryIsNamedOnceWithWhereItWasLooked) {
    StandardErrorCapture err;
    skv::NWave first, second;
    soundtest::loadBody(first, voiceSound(0));
    soundtest::loadBody(second, voiceSound(1));
    // A raw sound beside them still plays.
    WAVEFORMATEX f8{WAVE_FORMAT_PCM, 1, 11025, 11025, 1, 8, 0};
    skv::NWave raw;
    soundtest::loadBody(raw, soundtest::storedBody(skv::NWave::kStorageRaw, 0, f8,
                                                   std::vector<uint8_t>(300, 0x90)));
    const std::string said = err.text();

    EXPECT_TRUE(first.samples.empty());
    EXPECT_TRUE(second.samples.empty());
    EXPECT_EQ(first.format.wBitsPerSample, 16); // silence in the format the sound plays in
    EXPECT_EQ(first.format.nSamplesPerSec, 11025u);
    EXPECT_EQ(raw.samples, std::vector<uint8_t>(300, 0x90));

    const std::string expected = "skv: the voice decoder library qa118dec_absent could not be "
                                 "loaded (looked for " +
                                 programFolder() +
                                 "libqa118dec_absent.so, then libqa118dec_absent.so on the "
                                 "system's library path): voice-coded sounds will be silent";
    ASSERT_EQ(notices, std::vector<std::string>{expected});
    EXPECT_EQ(occurrences(said, expected + "\n"), 1u) << said;
    EXPECT_EQ(occurrences(said, "skv:"), 1u) << said;
    EXPECT_TRUE(temp.files().empty());
}

TEST_F(MissingLibrary, ADecodeFailsCleanlyWithoutTouchingTheTemporaryFolder) {
    StandardErrorCapture err;
    VoiceCodec c;
    c.configure(1, 11025, 16);
    const uint8_t coded[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    std::vector<uint8_t> pcm = {42};
    EXPECT_EQ(c.decode(coded, 8, &pcm), 1);
    EXPECT_EQ(c.decode(coded, 8, &pcm), 1);
    EXPECT_EQ(pcm, std::vector<uint8_t>{42}); // untouched
    EXPECT_FALSE(VoiceCodec::libraryAvailable());
    EXPECT_EQ(notices.size(), 1u);
    // No staging file was even made: a temporary folder that cannot be written does not turn
    // the missing library into another failure.
    setenv("TMPDIR", "/nonexistent-skv-folder", 1);
    EXPECT_EQ(c.decode(coded, 8, &pcm), 1);
    EXPECT_EQ(notices.size(), 1u);
    err.text();
}

TEST_F(MissingLibrary, TheLibraryFoundAgainDecodesTheSameSoundAndSaysNothingMore) {
    StandardErrorCapture err;
    skv::NWave silent, heard;
    soundtest::loadBody(silent, voiceSound(0));
    EXPECT_TRUE(silent.samples.empty());
    VoiceCodec::setLibraryNameForTesting(nullptr);
    notices.clear();
    soundtest::loadBody(heard, voiceSound(0));
    EXPECT_EQ(heard.samples.size(), 2u * 4410); // 0.4 s of 16-bit samples at 11025/s
    EXPECT_TRUE(notices.empty());
    const std::string said = err.text();
    EXPECT_EQ(occurrences(said, "skv:"), 1u) << said; // the missing library's, and no other
    EXPECT_TRUE(temp.files().empty());
}

// ---- the resampler -------------------------------------------------------------------------

// The resampler's kernel worked out afresh for every output frame and channel, as the sound's
// own definition: what any faster way of resampling must give.
std::vector<float> resampleByDefinition(const std::vector<float>& in, size_t frames,
                                        unsigned channels, double inRate, double outRate,
                                        size_t outFrames) {
    std::vector<float> out(outFrames * channels, 0.0f);
    const double step = inRate / outRate;
    const double cutoff = std::min(1.0, outRate / inRate) * 0.94;
    const double halfWidth = 16 / cutoff;
    for (size_t j = 0; j < outFrames; ++j) {
        const double t = j * step;
        const long first = std::max(0L, static_cast<long>(std::ceil(t - halfWidth)));
        const long last =
            std::min(static_cast<long>(frames) - 1, static_cast<long>(std::floor(t + halfWidth)));
        for (unsigned c = 0; c < channels; ++c) {
            double sum = 0;
            for (long k = first; k <= last; ++k) {
                const double d = t - k, x = cutoff * d, a = M_PI * (d / halfWidth + 1);
                const double sinc = x == 0 ? 1.0 : std::sin(M_PI * x) / (M_PI * x);
                sum += in[static_cast<size_t>(k) * channels + c] * cutoff * sinc *
                       (0.42 - 0.5 * std::cos(a) + 0.08 * std::cos(2 * a));
            }
            out[j * channels + c] = static_cast<float>(sum);
        }
    }
    return out;
}

TEST(Resample, ASoundsLengthCostsNoMoreKernelWeightsAndKeepsItsSamples) {
    // Hostile or honest, a long voice sound decoded at a rate of its own used to cost a sine and
    // two cosines per tap, frame and channel: seconds for a few kilobytes of silent packets.
    const struct {
        double from, to;
        size_t phases; // outRate / gcd: the distinct positions between input frames
    } cases[] = {{8000, 44100, 441}, {12000, 11025, 147}, {24000, 22050, 147}, {24000, 8000, 1}};
    for (const auto& c : cases) {
        for (unsigned channels : {1u, 2u}) {
            const std::vector<int16_t> voice = soundtest::speech(static_cast<int>(c.from), 1.0);
            std::vector<float> in;
            for (int16_t v : voice)
                for (unsigned ch = 0; ch < channels; ++ch)
                    in.push_back(ch ? -0.5f * v : float(v));
            const size_t frames = voice.size();
            const size_t outFrames = static_cast<size_t>(frames * c.to / c.from);
            qa118::ResampleCost cost;
            const std::vector<float> got =
                qa118::resample(in, frames, channels, c.from, c.to, outFrames, &cost);
            const double cutoff = std::min(1.0, c.to / c.from) * 0.94;
            const size_t taps = static_cast<size_t>(2 * 16 / cutoff) + 1;
            EXPECT_LE(cost.kernelWeights, c.phases * taps) << c.from << " -> " << c.to;
            // A tenth of the sound costs the same: the weights do not grow with the length.
            qa118::ResampleCost shorter;
            (void)qa118::resample(in, frames / 10, channels, c.from, c.to, outFrames / 10,
                                  &shorter);
            EXPECT_EQ(shorter.kernelWeights, cost.kernelWeights) << c.from << " -> " << c.to;

            const std::vector<float> want =
                resampleByDefinition(in, frames, channels, c.from, c.to, outFrames);
            ASSERT_EQ(got.size(), want.size());
            for (size_t i = 0; i < got.size(); ++i)
                ASSERT_NEAR(got[i], want[i], 0.01) << c.from << " -> " << c.to << " at " << i;
        }
    }
    // Rates whose phases would not fit a table are still worked out right, frame by frame.
    std::vector<float> in(24000);
    for (size_t i = 0; i < in.size(); ++i)
        in[i] = float((i * 7919) % 2000) - 1000;
    const std::vector<float> got = qa118::resample(in, in.size(), 1, 24000, 44101, 44101);
    const std::vector<float> want = resampleByDefinition(in, in.size(), 1, 24000, 44101, 44101);
    for (size_t i = 0; i < got.size(); ++i)
        ASSERT_NEAR(got[i], want[i], 0.01) << i;
}

} // namespace
