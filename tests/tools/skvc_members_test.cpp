// skvc build: shape, text and sound members, what their sprites and frames carry, and what the
// player reads back.
#include <gtest/gtest.h>

#include <cstring>
#include <set>

#include "core/classids.h"
#include "gfx/shape.h"
#include "gfx/text.h"
#include "movie/score.h"
#include "skvc_build_util.h"
#include "sound/voicecodec.h"
#include "sound/wave.h"

namespace skvc::test {
namespace {

const char* kStage = "[movie]\nstage = [100, 80]\npalette = -101\n";

class MemberTest : public ::testing::Test {
protected:
    void SetUp() override { registerAll(); }
    // The stage and these members built into a movie, which must come back through the
    // player's classes as it was, read back.
    static ReadBack builtAndReadBack(const std::string& members) {
        const std::vector<uint8_t> stream = buildMovie(sourceWith(std::string(kStage) + members));
        EXPECT_TRUE(roundTrip(stream).ok);
        return readBack(stream);
    }
};

// A mono or stereo PCM WAV file of the samples (bytes as they go into the data chunk).
std::vector<uint8_t> makeWav(int channels, int rate, int bits, const std::vector<uint8_t>& data) {
    std::vector<uint8_t> v;
    auto put = [&](uint32_t x, int n) {
        for (int i = 0; i < n; ++i)
            v.push_back(static_cast<uint8_t>(x >> (8 * i)));
    };
    auto tag = [&](const char* t) { v.insert(v.end(), t, t + 4); };
    tag("RIFF");
    put(uint32_t(4 + 24 + 8 + data.size()), 4);
    tag("WAVE");
    tag("fmt ");
    put(16, 4);
    put(1, 2);
    put(uint32_t(channels), 2);
    put(uint32_t(rate), 4);
    put(uint32_t(rate * channels * bits / 8), 4);
    put(uint32_t(channels * bits / 8), 2);
    put(uint32_t(bits), 2);
    tag("data");
    put(uint32_t(data.size()), 4);
    v.insert(v.end(), data.begin(), data.end());
    return v;
}

// A tone of n 16-bit mono samples.
std::vector<uint8_t> tone(int n) {
    std::vector<uint8_t> d;
    for (int i = 0; i < n; ++i) {
        const int16_t s = static_cast<int16_t>(((i / 10) % 2 ? 1 : -1) * 8000);
        d.push_back(static_cast<uint8_t>(s & 0xFF));
        d.push_back(static_cast<uint8_t>((s >> 8) & 0xFF));
    }
    return d;
}

TEST_F(MemberTest, ShapeKeepsKindAndPatternAndItsSpritesCarrySizeColoursAndOutline) {
    MemorySource s = sourceWith(std::string(kStage) + R"(
[[member]]
number = 4
type = "shape"
shape = "ellipse"
size = [30, 20]
pattern = 6
fore = 7
back = 9
line = 3

[[sprite]]
sprite = 1
member = 4
frame = 1
at = [5, 6]

[[sprite]]
sprite = 2
member = 4
frame = 1
size = [8, 9]
back = 11
line = 0
)");
    ReadBack r = readBack(buildMovie(s));
    auto* shape = r.find<skv::skvShape>(skv::memberGuid(4));
    ASSERT_NE(shape, nullptr);
    EXPECT_EQ(shape->kind, skv::skvShape::kEllipse);
    EXPECT_EQ(shape->pattern, 6);
    auto* score = r.find<skv::skvScore>(skv::CLSID_skvScore);
    ASSERT_NE(score, nullptr);
    score->goToFrame(1);
    const skv::SpriteChannel& a = (*score->currentImage())[2];
    EXPECT_EQ(a.width(), 30);
    EXPECT_EQ(a.height(), 20);
    EXPECT_EQ(a.foreColour(), 7);
    EXPECT_EQ(a.backColour(), 9);
    EXPECT_EQ(skv::skvShape::lineSizeOf(a), 3);
    const skv::SpriteChannel& b = (*score->currentImage())[3];
    EXPECT_EQ(b.width(), 8);
    EXPECT_EQ(b.height(), 9);
    EXPECT_EQ(b.foreColour(), 7) << "what the sprite does not give comes from the member";
    EXPECT_EQ(b.backColour(), 11);
    EXPECT_EQ(skv::skvShape::lineSizeOf(b), 0);
}

TEST_F(MemberTest, TextAtDepthOneIsInkOrPaperAndKeepsItsPixelsThroughTheStream) {
    ReadBack r = builtAndReadBack(R"(
[[member]]
number = 3
type = "text"
text = "Hi\nthere"
size = 14
depth = 1
palette = -1          # shown in palette -1: stored as it is
colour = "#102030"
background = "#FFFF00"
)");
    auto* text = r.find<skv::skvText>(skv::memberGuid(3));
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->textColour, RGB(0x10, 0x20, 0x30));
    EXPECT_EQ(text->backColour, RGB(0xFF, 0xFF, 0x00));
    EXPECT_EQ(text->authoredDepth(), 1);
    EXPECT_GT(text->width(), 20);
    EXPECT_GT(text->height(), 28) << "two lines";
    size_t ink = 0, paper = 0;
    for (int32_t y = 0; y < text->height(); ++y)
        for (int32_t x = 0; x < text->width(); ++x) {
            const uint8_t p = *text->pixelAt(x, y);
            ASSERT_TRUE(p == 0 || p == 255) << int(p);
            (p == 255 ? ink : paper)++;
        }
    EXPECT_GT(ink, 20u);
    EXPECT_GT(paper, ink) << "black letters on white paper, not the other way round";
}

TEST_F(MemberTest, TextAtDepthEightIsAnInkAndPaperBitmapOfTheMoviePalette) {
    ReadBack r = builtAndReadBack(R"(
[[member]]
number = 3
type = "text"
text = "Wo"
size = 24
)");
    auto* text = r.find<skv::skvText>(skv::memberGuid(3));
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->authoredDepth(), 8);
    EXPECT_EQ(text->paletteNumber, -101);
    // Only ink and paper survive the stream; smooth edges are cut at half coverage.
    std::set<uint8_t> values;
    for (int32_t y = 0; y < text->height(); ++y)
        for (int32_t x = 0; x < text->width(); ++x)
            values.insert(*text->pixelAt(x, y));
    EXPECT_EQ(values, (std::set<uint8_t>{0, 255}));
}

TEST_F(MemberTest, RawSoundKeepsTheFileSamplesAndLoops) {
    MemorySource s = sourceWith(std::string(kStage) + R"(
[[member]]
number = 5
type = "sound"
file = "s.wav"
loop = true

[[frame]]
frame = 2
sound = 5
)");
    std::vector<uint8_t> data;
    for (int i = 0; i < 100; ++i)
        data.push_back(static_cast<uint8_t>(i * 2));
    s.add("s.wav", makeWav(2, 22050, 8, data));
    const std::vector<uint8_t> stream = buildMovie(s);
    EXPECT_TRUE(roundTrip(stream).ok);
    ReadBack r = readBack(stream);
    auto* wave = r.find<skv::NWave>(skv::memberGuid(5));
    ASSERT_NE(wave, nullptr);
    EXPECT_EQ(wave->samples, data);
    EXPECT_EQ(wave->format.nChannels, 2);
    EXPECT_EQ(wave->format.nSamplesPerSec, 22050u);
    EXPECT_EQ(wave->format.wBitsPerSample, 8);
    EXPECT_EQ(wave->format.nBlockAlign, 2);
    EXPECT_EQ(wave->storageKind, skv::NWave::kStorageRaw);
    EXPECT_EQ(wave->loops, 1);
    auto* score = r.find<skv::skvScore>(skv::CLSID_skvScore);
    ASSERT_NE(score, nullptr);
    score->goToFrame(2);
    EXPECT_EQ((*score->currentImage())[0].int16At(6), 5);
}

TEST_F(MemberTest, VoiceSoundPlaysAtItsVariantsRateWhateverTheFileRate) {
    if (!skv::VoiceCodec::libraryAvailable()) GTEST_SKIP() << "qa118dec is not beside the test";
    struct Case {
        const char* extra;
        int32_t variant, rate;
    };
    // 16000/s: the lowest variant that keeps it is 22050; an explicit rate wins.
    for (const Case& c : {Case{"", skv::VoiceCodec::kVariant22050, 22050},
                          Case{"voice-rate = 8000\n", skv::VoiceCodec::kVariant8000, 8000}}) {
        MemorySource s = sourceWith(std::string(kStage) +
                                    "[[member]]\nnumber = 5\ntype = \"sound\"\nfile = \"s.wav\"\n"
                                    "storage = \"voice\"\n" +
                                    c.extra);
        s.add("s.wav", makeWav(1, 16000, 16, tone(16000)));
        const std::vector<uint8_t> stream = buildMovie(s);
        const RoundTripResult rt = roundTrip(stream);
        EXPECT_TRUE(rt.ok) << rt.problem;
        EXPECT_EQ(rt.voiceSounds, 1u);
        ReadBack r = readBack(stream);
        auto* wave = r.find<skv::NWave>(skv::memberGuid(5));
        ASSERT_NE(wave, nullptr);
        EXPECT_EQ(wave->storageKind, skv::NWave::kStorageVoice);
        EXPECT_EQ(wave->codecVariant, c.variant);
        EXPECT_EQ(wave->format.nSamplesPerSec, uint32_t(c.rate));
        EXPECT_EQ(wave->format.wBitsPerSample, 16);
        // One second of sound at the variant's rate, 16-bit mono.
        EXPECT_EQ(wave->samples.size(), size_t(c.rate) * 2);
        EXPECT_EQ(buildMovie(s), stream) << "the same source gives the same bytes";
    }
}

struct BadMember {
    const char* name;
    const char* member;
    const char* expect;
};

class BadMemberTest : public MemberTest, public ::testing::WithParamInterface<BadMember> {};

TEST_P(BadMemberTest, NamesTheField) {
    MemorySource s = sourceWith(std::string(kStage) + GetParam().member);
    s.add("s.wav", makeWav(1, 16000, 16, tone(10)));
    s.add("b.wav", std::string("RIFF\x10\0\0\0WAVEdata\x04\0\0\0abcd", 24));
    const std::string text = buildError(s);
    EXPECT_NE(text.find(GetParam().expect), std::string::npos) << "got: " << text;
}

INSTANTIATE_TEST_SUITE_P(
    Errors, BadMemberTest,
    ::testing::Values(
        BadMember{"shape_kind", "[[member]]\nnumber = 2\ntype = \"shape\"\nshape = \"star\"\n",
                  "movie.toml:7: member[1].shape: must be \"line\""},
        BadMember{"shape_size", "[[member]]\nnumber = 2\ntype = \"shape\"\nshape = 3\n",
                  "member[1].size: is missing"},
        BadMember{"line_on_bitmap",
                  "[[member]]\nnumber = 2\ntype = \"bitmap\"\nfile = \"a.bmp\"\n[[sprite]]\n"
                  "sprite = 1\nmember = 2\nframe = 1\nline = 2\n",
                  "sprite[1].line: only a shape has an outline"},
        BadMember{"colour",
                  "[[member]]\nnumber = 2\ntype = \"text\"\ntext = \"x\"\ncolour = \"red\"\n",
                  "member[1].colour: must be a colour written \"#RRGGBB\""},
        BadMember{"font",
                  "[[member]]\nnumber = 2\ntype = \"text\"\ntext = \"x\"\nfont = \"no.ttf\"\n",
                  "member[1].font: 'no.ttf' is neither a file of the source"},
        BadMember{"raw_rate", "[[member]]\nnumber = 2\ntype = \"sound\"\nfile = \"s.wav\"\n",
                  "member[1].file: a raw sound plays at 8000, 11025, 22050 or 44100"},
        BadMember{"voice_rate_raw",
                  "[[member]]\nnumber = 2\ntype = \"sound\"\nfile = \"s.wav\"\nvoice-rate = 8000\n",
                  "member[1].voice-rate: is for storage = \"voice\" only"},
        BadMember{"wav_order", "[[member]]\nnumber = 2\ntype = \"sound\"\nfile = \"b.wav\"\n",
                  "member[1].file: the WAV file's data comes before its format chunk"},
        BadMember{
            "sprite_sound",
            "[[member]]\nnumber = 2\ntype = \"sound\"\nfile = \"s.wav\"\nstorage = \"voice\"\n"
            "[[sprite]]\nsprite = 1\nmember = 2\nframe = 1\n",
            "sprite[1].member: a sprite shows a bitmap, shape or text member"}),
    [](const ::testing::TestParamInfo<BadMember>& i) { return std::string(i.param.name); });

} // namespace
} // namespace skvc::test
