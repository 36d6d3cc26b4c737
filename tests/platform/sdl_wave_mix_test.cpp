// The SDL2 audio backend through SDL's disk driver, which writes what the device plays into a
// file (16-bit stereo at 44100 Hz, the device's own format): handles of different formats share
// the one device, and a reset keeps what the platform clock has played and the device has not
// yet taken. The clock is the virtual one, so the clock's side is exact: the device, on its own
// thread in real time, has taken next to nothing when a reset comes.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/mmsystem.h"
#include "platform/winuser.h"

namespace fs = std::filesystem;

namespace {

using skv::platform::WaveBackend;

struct Frame {
    int16_t left, right;
};

std::vector<Frame> readFrames(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
    std::vector<Frame> frames(bytes.size() / sizeof(Frame));
    std::memcpy(frames.data(), bytes.data(), frames.size() * sizeof(Frame));
    return frames;
}

size_t framesAt(const std::vector<Frame>& frames, int16_t value) {
    size_t n = 0;
    for (const Frame& f : frames)
        n += f.left == value && f.right == value;
    return n;
}

class SdlWaveMix : public ::testing::Test {
protected:
    void SetUp() override {
        file = fs::temp_directory_path() / ("skv_sdl_mix_" + std::to_string(getpid()) + ".raw");
        fs::remove(file);
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", file.c_str(), 1);
        std::string why;
        if (!skv::platform::selectWaveOutput(WaveBackend::Sdl, &why))
            GTEST_SKIP() << "SDL's disk audio driver cannot start: " << why;
        skv::platform::setVirtualClock(true, 1000000);
    }
    void TearDown() override {
        skv::platform::setVirtualClock(false);
        skv::platform::selectWaveOutput(WaveBackend::Null);
        fs::remove(file);
    }

    // Waits (in real time, at most 20 s) until the device has written `frames` frames: it
    // plays at its own pace, whatever the clock did.
    void awaitFile(size_t frames) {
        for (int i = 0; i < 2000 && fs::exists(file) && fs::file_size(file) < frames * 4; ++i)
            usleep(10000);
    }

    fs::path file;
};

TEST_F(SdlWaveMix, AResetKeepsWhatTheClockPlayedAndHandlesShareTheDevice) {
    // A steady level of 8000 at 22050 Hz, 16-bit mono, a second long.
    WAVEFORMATEX mono16{WAVE_FORMAT_PCM, 1, 22050, 44100, 2, 16, 0};
    std::vector<int16_t> level(22050, 8000);
    // And 8-bit mono at 11025 Hz, 50 ms at 192: 64 above the silence of 128, 16384 at 16 bits.
    WAVEFORMATEX mono8{WAVE_FORMAT_PCM, 1, 11025, 11025, 1, 8, 0};
    std::vector<uint8_t> high(11025 / 20, 192);

    HWAVEOUT a = nullptr, b = nullptr;
    ASSERT_EQ(waveOutOpen(&a, WAVE_MAPPER, &mono16, 0, 0, CALLBACK_NULL), MMSYSERR_NOERROR);
    WAVEHDR ha{};
    ha.lpData = reinterpret_cast<LPSTR>(level.data());
    ha.dwBufferLength = static_cast<DWORD>(level.size() * 2);
    ASSERT_EQ(waveOutPrepareHeader(a, &ha, sizeof ha), MMSYSERR_NOERROR);
    ASSERT_EQ(waveOutWrite(a, &ha, sizeof ha), MMSYSERR_NOERROR);
    // 100 ms on the clock, an instant in real time: the device has taken a callback's worth
    // at most, and owes the rest.
    Sleep(100);
    ASSERT_EQ(waveOutReset(a), MMSYSERR_NOERROR);

    // A second handle in another format, opened while the first is: the same device plays it.
    ASSERT_EQ(waveOutOpen(&b, WAVE_MAPPER, &mono8, 0, 0, CALLBACK_NULL), MMSYSERR_NOERROR);
    WAVEHDR hb{};
    hb.lpData = reinterpret_cast<LPSTR>(high.data());
    hb.dwBufferLength = static_cast<DWORD>(high.size());
    ASSERT_EQ(waveOutPrepareHeader(b, &hb, sizeof hb), MMSYSERR_NOERROR);
    ASSERT_EQ(waveOutWrite(b, &hb, sizeof hb), MMSYSERR_NOERROR);
    Sleep(100);
    EXPECT_TRUE(hb.dwFlags & WHDR_DONE);

    // Both sounds and a little silence after them, then the device goes with the handles.
    awaitFile(44100 / 2);
    EXPECT_EQ(waveOutUnprepareHeader(a, &ha, sizeof ha), MMSYSERR_NOERROR);
    EXPECT_EQ(waveOutUnprepareHeader(b, &hb, sizeof hb), MMSYSERR_NOERROR);
    EXPECT_EQ(waveOutClose(a), MMSYSERR_NOERROR);
    EXPECT_EQ(waveOutClose(b), MMSYSERR_NOERROR);

    const std::vector<Frame> frames = readFrames(file);
    ASSERT_GE(frames.size(), 44100u / 2) << "the device wrote too little";
    // 100 ms of the first at 44100 Hz (a frame or two go to the ramp from and to silence where
    // the rate is converted), 50 ms of the second; the two may overlap by what the device had
    // not yet taken of the first when the second began, where both levels add up.
    const size_t first = framesAt(frames, 8000), second = framesAt(frames, 16384),
                 both = framesAt(frames, 24384);
    EXPECT_NEAR(static_cast<double>(first + both), 4410, 8);
    EXPECT_NEAR(static_cast<double>(second + both), 2205, 8);
    // Everything else is silence, but for those ramps.
    EXPECT_NEAR(static_cast<double>(frames.size() - framesAt(frames, 0)),
                static_cast<double>(first + second + both), 24);
}

} // namespace
