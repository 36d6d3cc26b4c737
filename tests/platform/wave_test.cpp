// Wave output on the virtual clock: when buffers are done, what the capture heard (volume,
// resets, loops, queues), the calls' errors, the device volume, the WAV file and MessageBeep.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>

#include "platform/mmsystem.h"
#include "window_fixture.h"

namespace {

using skv::platform::PlayedWave;
using skv::platform::WaveBackend;

WAVEFORMATEX pcm(DWORD rate, WORD bits, WORD channels) {
    WAVEFORMATEX f{};
    f.wFormatTag = WAVE_FORMAT_PCM;
    f.nChannels = channels;
    f.nSamplesPerSec = rate;
    f.wBitsPerSample = bits;
    f.nBlockAlign = static_cast<WORD>(channels * bits / 8);
    f.nAvgBytesPerSec = rate * f.nBlockAlign;
    return f;
}

std::vector<uint8_t> ramp(size_t n) {
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i)
        v[i] = static_cast<uint8_t>(i * 7 + 3);
    return v;
}

class WaveOut : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        ASSERT_TRUE(skv::platform::selectWaveOutput(WaveBackend::Capture));
        skv::platform::clearWaveCapture();
        waveOutSetVolume(nullptr, 0xFFFFFFFFu);
        window = make(0, 0, 50, 50);
    }
    void TearDown() override {
        if (out) {
            waveOutReset(out);
            waveOutClose(out);
        }
        WindowTest::TearDown();
    }
    void open(const WAVEFORMATEX& f) {
        ASSERT_EQ(waveOutOpen(&out, WAVE_MAPPER, &f, reinterpret_cast<DWORD_PTR>(window), 0,
                              CALLBACK_WINDOW),
                  MMSYSERR_NOERROR);
    }
    void write(WAVEHDR& h, std::vector<uint8_t>& data, bool loop = false) {
        h = WAVEHDR{};
        h.lpData = reinterpret_cast<LPSTR>(data.data());
        h.dwBufferLength = static_cast<DWORD>(data.size());
        if (loop) {
            h.dwFlags = WHDR_BEGINLOOP | WHDR_ENDLOOP;
            h.dwLoops = 0xFFFFFFFFu;
        }
        ASSERT_EQ(waveOutPrepareHeader(out, &h, sizeof h), MMSYSERR_NOERROR);
        ASSERT_EQ(waveOutWrite(out, &h, sizeof h), MMSYSERR_NOERROR);
    }
    // Waits for the next MM_WOM_DONE and answers its header and when it came.
    std::pair<WAVEHDR*, uint64_t> nextDone() {
        MSG msg;
        while (GetMessageA(&msg, window, 0, 0) > 0) {
            if (msg.message == MM_WOM_DONE) {
                EXPECT_EQ(msg.wParam, reinterpret_cast<WPARAM>(out));
                return {reinterpret_cast<WAVEHDR*>(msg.lParam), elapsed()};
            }
            DispatchMessageA(&msg); // paints, which would otherwise come back forever
        }
        return {nullptr, 0};
    }

    HWND window = nullptr;
    HWAVEOUT out = nullptr;
};

TEST_F(WaveOut, BuffersAreDoneWhenTheirLengthHasPlayedOneAfterTheOther) {
    open(pcm(11025, 8, 1));
    auto a = ramp(11025), b = ramp(5513); // one second, then half a second (and a bit)
    WAVEHDR ha, hb;
    write(ha, a);
    write(hb, b);
    EXPECT_EQ(ha.dwFlags & (WHDR_INQUEUE | WHDR_DONE | WHDR_PREPARED),
              WHDR_INQUEUE | WHDR_PREPARED);
    EXPECT_EQ(waveOutUnprepareHeader(out, &ha, sizeof ha), WAVERR_STILLPLAYING);
    EXPECT_EQ(waveOutClose(out), WAVERR_STILLPLAYING);

    auto [first, at1] = nextDone();
    EXPECT_EQ(first, &ha);
    EXPECT_EQ(at1, 1000u);
    EXPECT_EQ(ha.dwFlags & (WHDR_INQUEUE | WHDR_DONE), WHDR_DONE);
    auto [second, at2] = nextDone();
    EXPECT_EQ(second, &hb);
    EXPECT_EQ(at2, 1501u); // 5513 frames end 500.09 ms after the first: the next whole ms

    auto played = skv::platform::waveCapture();
    ASSERT_EQ(played.size(), 2u);
    EXPECT_EQ(played[0].samples, a);
    EXPECT_EQ(played[1].samples, b);
    EXPECT_EQ(played[1].startMs - played[0].startMs, 1000u);
    EXPECT_EQ(played[0].format.nSamplesPerSec, 11025u);

    EXPECT_EQ(waveOutUnprepareHeader(out, &ha, sizeof ha), MMSYSERR_NOERROR);
    EXPECT_EQ(ha.dwFlags & WHDR_PREPARED, 0u);
    EXPECT_EQ(waveOutWrite(out, &ha, sizeof ha), WAVERR_UNPREPARED);
}

TEST_F(WaveOut, ResetEndsEveryBufferAtOnceAndKeepsWhatWasHeard) {
    open(pcm(8000, 8, 1));
    auto a = ramp(8000), b = ramp(800);
    WAVEHDR ha, hb;
    write(ha, a);
    write(hb, b);
    Sleep(250);
    ASSERT_EQ(waveOutReset(out), MMSYSERR_NOERROR);
    EXPECT_EQ(nextDone(), std::make_pair(&ha, uint64_t{250}));
    EXPECT_EQ(nextDone(), std::make_pair(&hb, uint64_t{250}));
    EXPECT_TRUE(hb.dwFlags & WHDR_DONE);
    auto played = skv::platform::waveCapture();
    ASSERT_EQ(played.size(), 1u); // the second never started
    EXPECT_EQ(played[0].samples, std::vector<uint8_t>(a.begin(), a.begin() + 2000));
}

TEST_F(WaveOut, ALoopingBufferPlaysUntilResetAndTheVolumeAppliesFromItsChangeOn) {
    open(pcm(8000, 16, 2));
    std::vector<uint8_t> frame = {0x00, 0x40, 0x00, 0xC0}; // left 16384, right -16384
    std::vector<uint8_t> data;
    for (int i = 0; i < 80; ++i) // 10 ms
        data.insert(data.end(), frame.begin(), frame.end());
    WAVEHDR h;
    write(h, data, true);
    Sleep(25);
    waveOutSetVolume(out, 0x8000FFFFu); // right at half
    Sleep(15);
    EXPECT_EQ(h.dwFlags & WHDR_DONE, 0u); // still looping
    waveOutReset(out);
    EXPECT_EQ(nextDone().first, &h);

    auto played = skv::platform::waveCapture();
    ASSERT_EQ(played.size(), 1u);
    const auto& s = played[0].samples;
    ASSERT_EQ(s.size(), 320u * 4); // 40 ms of frames, four passes
    auto sample = [&](size_t frameIndex, int ch) {
        return static_cast<int16_t>(s[frameIndex * 4 + ch * 2] | s[frameIndex * 4 + ch * 2 + 1]
                                                                     << 8);
    };
    EXPECT_EQ(sample(199, 0), 16384);
    EXPECT_EQ(sample(199, 1), -16384);
    EXPECT_EQ(sample(200, 0), 16384);
    EXPECT_EQ(sample(200, 1), -16384 * 0x8000 / 0xFFFF);
    EXPECT_EQ(sample(319, 1), -8192);
}

TEST_F(WaveOut, VolumeBelongsToTheDeviceAndOutlivesHandles) {
    DWORD v = 0;
    ASSERT_EQ(waveOutSetVolume(nullptr, 0x12345678u), MMSYSERR_NOERROR);
    open(pcm(22050, 16, 1));
    ASSERT_EQ(waveOutGetVolume(out, &v), MMSYSERR_NOERROR);
    EXPECT_EQ(v, 0x12345678u);
    waveOutSetVolume(out, 0x00010001u);
    ASSERT_EQ(waveOutClose(out), MMSYSERR_NOERROR);
    EXPECT_EQ(waveOutGetVolume(out, &v), MMSYSERR_INVALHANDLE);
    out = nullptr;
    EXPECT_EQ(waveOutGetVolume(nullptr, &v), MMSYSERR_NOERROR);
    EXPECT_EQ(v, 0x00010001u);
}

TEST_F(WaveOut, CallsRefuseWhatTheDeviceCannotDo) {
    WAVEFORMATEX f = pcm(11025, 8, 1);
    HWAVEOUT h = nullptr;
    EXPECT_EQ(waveOutOpen(&h, 3, &f, 0, 0, CALLBACK_NULL), MMSYSERR_BADDEVICEID);
    EXPECT_EQ(waveOutOpen(&h, WAVE_MAPPER, nullptr, 0, 0, CALLBACK_NULL), MMSYSERR_INVALPARAM);
    WAVEFORMATEX bad = f;
    bad.wFormatTag = 2;
    EXPECT_EQ(waveOutOpen(&h, WAVE_MAPPER, &bad, 0, 0, CALLBACK_NULL), WAVERR_BADFORMAT);
    bad = pcm(11025, 12, 1);
    EXPECT_EQ(waveOutOpen(&h, WAVE_MAPPER, &bad, 0, 0, CALLBACK_NULL), WAVERR_BADFORMAT);
    bad = f;
    bad.nAvgBytesPerSec = 1;
    EXPECT_EQ(waveOutOpen(&h, WAVE_MAPPER, &bad, 0, 0, CALLBACK_NULL), WAVERR_BADFORMAT);
    EXPECT_EQ(waveOutOpen(nullptr, WAVE_MAPPER, &f, 0, 0, WAVE_FORMAT_QUERY), MMSYSERR_NOERROR);
    EXPECT_EQ(h, nullptr);

    WAVEHDR hdr{};
    EXPECT_EQ(waveOutPrepareHeader(nullptr, &hdr, sizeof hdr), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(waveOutWrite(reinterpret_cast<HWAVEOUT>(&hdr), &hdr, sizeof hdr),
              MMSYSERR_INVALHANDLE);
    EXPECT_EQ(waveOutReset(nullptr), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(waveOutClose(nullptr), MMSYSERR_INVALHANDLE);

    char text[128];
    EXPECT_EQ(waveOutGetErrorTextA(WAVERR_BADFORMAT, text, sizeof text), MMSYSERR_NOERROR);
    EXPECT_STREQ(text, "The wave format is not supported by the device.");
    EXPECT_EQ(waveOutGetErrorTextA(12345, text, sizeof text), MMSYSERR_BADERRNUM);
}

TEST_F(WaveOut, OpenAndCloseAreAnnouncedToTheWindow) {
    open(pcm(11025, 8, 1));
    HWAVEOUT h = out;
    ASSERT_EQ(waveOutClose(out), MMSYSERR_NOERROR);
    out = nullptr;
    pump();
    auto opened = messageLog().of(MM_WOM_OPEN), closed = messageLog().of(MM_WOM_CLOSE);
    ASSERT_EQ(opened.size(), 1u);
    ASSERT_EQ(closed.size(), 1u);
    EXPECT_EQ(opened[0].wParam, reinterpret_cast<WPARAM>(h));
}

TEST_F(WaveOut, TheCaptureFileHoldsTheSamplesAndWhenEachBufferStarted) {
    open(pcm(11025, 8, 1));
    auto a = ramp(1103), b = ramp(441);
    WAVEHDR ha, hb;
    write(ha, a);
    write(hb, b);
    nextDone();
    nextDone();
    const std::string path = ::testing::TempDir() + "/wave_capture_test.wav";
    std::string why;
    ASSERT_TRUE(skv::platform::saveWaveCapture(path, &why)) << why;
    std::ifstream f(path, std::ios::binary);
    std::vector<uint8_t> d((std::istreambuf_iterator<char>(f)), {});
    std::remove(path.c_str());
    auto le32 = [&](size_t at) {
        return uint32_t{d[at]} | uint32_t{d[at + 1]} << 8 | uint32_t{d[at + 2]} << 16 |
               uint32_t{d[at + 3]} << 24;
    };
    ASSERT_GT(d.size(), 44u);
    EXPECT_EQ(std::string(d.begin(), d.begin() + 4), "RIFF");
    EXPECT_EQ(le32(4), d.size() - 8);
    EXPECT_EQ(std::string(d.begin() + 8, d.begin() + 16), "WAVEfmt ");
    EXPECT_EQ(le32(24), 11025u);
    EXPECT_EQ(std::string(d.begin() + 36, d.begin() + 40), "data");
    ASSERT_EQ(le32(40), 1544u);
    std::vector<uint8_t> want = a;
    want.insert(want.end(), b.begin(), b.end());
    EXPECT_EQ(std::vector<uint8_t>(d.begin() + 44, d.begin() + 44 + 1544), want);
    const size_t t = 44 + 1544;
    EXPECT_EQ(std::string(d.begin() + t, d.begin() + t + 4), "skvt");
    ASSERT_EQ(le32(t + 4), 32u);
    EXPECT_EQ(le32(t + 8 + 16), 1103u);                  // second buffer's offset
    EXPECT_EQ(le32(t + 8 + 24) - le32(t + 8 + 8), 100u); // started 100 ms after the first

    skv::platform::clearWaveCapture();
    EXPECT_FALSE(skv::platform::saveWaveCapture(path, &why));
}

TEST_F(WaveOut, MessageBeepSoundsAShortToneThroughTheSameOutput) {
    MessageBeep(MB_OK);
    Sleep(200);
    auto played = skv::platform::waveCapture();
    ASSERT_EQ(played.size(), 1u);
    EXPECT_EQ(played[0].samples.size(), 11025u * 150 / 1000);
    int loud = 0;
    for (uint8_t s : played[0].samples)
        loud += s > 180 || s < 76;
    EXPECT_GT(loud, 300); // a tone, not silence
}

// MessageBeep's handle stays open for the whole run; the file is still written when the
// program's last handle closes, and holds the program's sound only, in its format.
TEST_F(WaveOut, TheCaptureFileIsWrittenAtTheProgramsLastCloseWithoutTheSystemsBeeps) {
    const std::string path = ::testing::TempDir() + "wave_last_close.wav";
    std::remove(path.c_str());
    setenv("SKV_WAVE_FILE", path.c_str(), 1);
    MessageBeep(MB_OK); // 8-bit, 11025 Hz, first of all
    Sleep(200);
    open(pcm(22050, 16, 1));
    auto a = ramp(441 * 2);
    WAVEHDR h;
    write(h, a);
    nextDone();
    ASSERT_EQ(waveOutUnprepareHeader(out, &h, sizeof h), MMSYSERR_NOERROR);
    ASSERT_EQ(waveOutClose(out), MMSYSERR_NOERROR);
    out = nullptr;
    unsetenv("SKV_WAVE_FILE");

    std::ifstream in(path, std::ios::binary);
    ASSERT_TRUE(in) << "no file at the last close";
    const std::vector<uint8_t> d{std::istreambuf_iterator<char>(in), {}};
    std::remove(path.c_str());
    ASSERT_GE(d.size(), 44u + a.size());
    auto le = [&](size_t at, int n) {
        uint32_t v = 0;
        for (int i = n - 1; i >= 0; --i)
            v = v << 8 | d[at + i];
        return v;
    };
    EXPECT_EQ(le(24, 4), 22050u);
    EXPECT_EQ(le(34, 2), 16u);
    EXPECT_EQ(le(40, 4), a.size()); // the data chunk: the program's buffer, no tone
    EXPECT_TRUE(std::equal(a.begin(), a.end(), d.begin() + 44));
}

TEST_F(WaveOut, TheNullBackendKeepsTheTimesAndCapturesNothing) {
    skv::platform::selectWaveOutput(WaveBackend::Null);
    open(pcm(11025, 8, 1));
    auto a = ramp(2205);
    WAVEHDR h;
    write(h, a);
    EXPECT_EQ(nextDone(), std::make_pair(&h, uint64_t{200}));
    MessageBeep(MB_OK);
    EXPECT_TRUE(skv::platform::waveCapture().empty());
}

} // namespace
