// The authoring tool's WAV reader: the forms it accepts and the damaged files it refuses.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "wavfile.h"

namespace skvc {
namespace {

class Riff {
public:
    Riff& chunk(const std::string& id, const std::vector<uint8_t>& body, int64_t claimed = -1) {
        bytes_.insert(bytes_.end(), id.begin(), id.end());
        put(static_cast<uint32_t>(claimed >= 0 ? claimed : int64_t(body.size())), 4);
        bytes_.insert(bytes_.end(), body.begin(), body.end());
        if (body.size() % 2) bytes_.push_back(0);
        return *this;
    }
    std::vector<uint8_t> bytes() const {
        std::vector<uint8_t> v = {'R', 'I', 'F', 'F'};
        const uint32_t n = static_cast<uint32_t>(bytes_.size() + 4);
        for (int i = 0; i < 4; ++i)
            v.push_back(static_cast<uint8_t>(n >> (8 * i)));
        v.insert(v.end(), {'W', 'A', 'V', 'E'});
        v.insert(v.end(), bytes_.begin(), bytes_.end());
        return v;
    }

private:
    void put(uint32_t x, int n) {
        for (int i = 0; i < n; ++i)
            bytes_.push_back(static_cast<uint8_t>(x >> (8 * i)));
    }
    std::vector<uint8_t> bytes_;
};

std::vector<uint8_t> le(std::initializer_list<std::pair<uint32_t, int>> fields) {
    std::vector<uint8_t> v;
    for (auto [x, n] : fields)
        for (int i = 0; i < n; ++i)
            v.push_back(static_cast<uint8_t>(x >> (8 * i)));
    return v;
}

std::vector<uint8_t> fmt(uint32_t tag, uint32_t channels, uint32_t rate, uint32_t bits) {
    const uint32_t align = channels * bits / 8;
    return le({{tag, 2}, {channels, 2}, {rate, 4}, {rate * align, 4}, {align, 2}, {bits, 2}});
}

bool decode(const std::vector<uint8_t>& b, WavSound* w, std::string* error) {
    return decodeWav(b.data(), b.size(), w, error);
}

TEST(WavFile, ReadsPcmPastOtherAndOddSizedChunks) {
    const std::vector<uint8_t> data = {1, 2, 3, 4, 5, 6, 7, 8};
    const auto b = Riff()
                       .chunk("LIST", {'a', 'b', 'c'}) // odd: padded to 4
                       .chunk("fmt ", fmt(1, 2, 11025, 16))
                       .chunk("data", data)
                       .bytes();
    WavSound w;
    std::string error;
    ASSERT_TRUE(decode(b, &w, &error)) << error;
    EXPECT_EQ(w.channels, 2);
    EXPECT_EQ(w.samplesPerSecond, 11025);
    EXPECT_EQ(w.bitsPerSample, 16);
    EXPECT_EQ(w.pcm, data);
    EXPECT_EQ(w.frames(), 2);
}

TEST(WavFile, ExtensibleFormatWithThePcmSubFormatIsPcm) {
    std::vector<uint8_t> f = fmt(0xFFFE, 1, 8000, 16);
    const std::vector<uint8_t> ext = le({{22, 2}, {16, 2}, {4, 4}, {1, 2}});
    f.insert(f.end(), ext.begin(), ext.end());
    f.resize(40, 0x11); // the rest of the sub-format GUID
    WavSound w;
    std::string error;
    ASSERT_TRUE(decode(Riff().chunk("fmt ", f).chunk("data", {0, 0, 1, 0}).bytes(), &w, &error))
        << error;
    EXPECT_EQ(w.pcm.size(), 4u);
    f[24] = 3; // IEEE float
    EXPECT_FALSE(decode(Riff().chunk("fmt ", f).chunk("data", {0, 0, 1, 0}).bytes(), &w, &error));
    EXPECT_NE(error.find("not plain PCM"), std::string::npos);
}

TEST(WavFile, DataLongerThanTheFileIsCutToWholeFrames) {
    // A streaming writer's placeholder size: only the 7 bytes present count, 3 whole frames.
    auto b = Riff().chunk("fmt ", fmt(1, 1, 8000, 16)).bytes();
    const std::vector<uint8_t> tail = {'d', 'a', 't', 'a', 0xFF, 0xFF, 0xFF, 0xFF,
                                       1,   2,   3,   4,   5,    6,    7};
    b.insert(b.end(), tail.begin(), tail.end());
    WavSound w;
    std::string error;
    ASSERT_TRUE(decode(b, &w, &error)) << error;
    EXPECT_EQ(w.pcm, (std::vector<uint8_t>{1, 2, 3, 4, 5, 6}));
}

TEST(WavFile, RefusesWhatIsNotASoundItCanStore) {
    struct Case {
        std::vector<uint8_t> bytes;
        const char* expect;
    };
    const std::vector<uint8_t> d = {0, 0};
    const Case cases[] = {
        {{'R', 'I', 'F', 'F'}, "not a WAV file"},
        {Riff().chunk("data", d).chunk("fmt ", fmt(1, 1, 8000, 8)).bytes(),
         "data comes before its format"},
        {Riff().chunk("fmt ", fmt(1, 1, 8000, 8)).bytes(), "no data chunk"},
        {Riff().chunk("LIST", d).bytes(), "no format chunk"},
        {Riff().chunk("fmt ", fmt(1, 3, 8000, 8)).chunk("data", d).bytes(), "3 channels"},
        {Riff().chunk("fmt ", fmt(1, 1, 8000, 24)).chunk("data", d).bytes(), "24-bit"},
        {Riff().chunk("fmt ", fmt(1, 1, 500, 8)).chunk("data", d).bytes(), "out of range"},
        {Riff().chunk("fmt ", fmt(2, 1, 8000, 8)).chunk("data", d).bytes(), "format 2"},
        {Riff().chunk("fmt ", fmt(1, 1, 8000, 8), 400).bytes(), "format chunk is damaged"},
    };
    for (const Case& c : cases) {
        WavSound w;
        std::string error;
        EXPECT_FALSE(decode(c.bytes, &w, &error)) << c.expect;
        EXPECT_NE(error.find(c.expect), std::string::npos) << "got: " << error;
    }
}

} // namespace
} // namespace skvc
