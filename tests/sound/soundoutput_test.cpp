// The player's sound output on the virtual clock with the capture backend: what is played and
// when, replacing and repeating sounds, the done messages, the format-change reopen and the ten
// open attempts, volume, and fades.
#include <gtest/gtest.h>

#include <cstring>

#include "core/guid.h"
#include "platform/clock.h"
#include "platform/display.h"
#include "platform/mmsystem.h"
#include "platform/winuser.h"
#include "sound/soundoutput.h"
#include "sound/voicecodec.h"
#include "sound/wave.h"
#include "sound_test_util.h"

namespace {

using skv::NWave;
using skv::SoundOutput;

// Counting wrappers of the device calls; open can be made to fail.
struct Counts {
    int opens = 0, closes = 0, resets = 0, writes = 0;
    bool failOpen = false;
};
Counts counts;

skv::WaveOutCalls countingCalls() {
    skv::WaveOutCalls c;
    c.open = [](LPHWAVEOUT h, UINT id, LPCWAVEFORMATEX f, DWORD_PTR cb, DWORD_PTR inst,
                DWORD flags) -> MMRESULT {
        ++counts.opens;
        return counts.failOpen ? MMSYSERR_ALLOCATED : waveOutOpen(h, id, f, cb, inst, flags);
    };
    c.close = [](HWAVEOUT h) -> MMRESULT {
        ++counts.closes;
        return waveOutClose(h);
    };
    c.reset = [](HWAVEOUT h) -> MMRESULT {
        ++counts.resets;
        return waveOutReset(h);
    };
    c.write = [](HWAVEOUT h, LPWAVEHDR hdr, UINT size) -> MMRESULT {
        ++counts.writes;
        return waveOutWrite(h, hdr, size);
    };
    return c;
}

SoundOutput* gOutput = nullptr;

LRESULT CALLBACK stageProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == MM_WOM_DONE && gOutput) gOutput->onBufferDone(lParam);
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

class Output : public ::testing::Test, public skv::SoundOutputHost {
protected:
    static constexpr uint64_t kStart = 5000000;
    void SetUp() override {
        skv::platform::setVirtualClock(true, kStart);
        skv::platform::selectDisplay(skv::platform::DisplayBackend::Headless);
        ASSERT_TRUE(skv::platform::selectWaveOutput(skv::platform::WaveBackend::Capture));
        skv::platform::clearWaveCapture();
        waveOutSetVolume(nullptr, 0xFFFFFFFFu);
        static const bool registered = [] {
            WNDCLASSA wc{};
            wc.lpfnWndProc = stageProc;
            wc.lpszClassName = "SkvSoundTestStage";
            return RegisterClassA(&wc) != 0;
        }();
        ASSERT_TRUE(registered);
        window = CreateWindowExA(0, "SkvSoundTestStage", "", 0, 0, 0, 10, 10, nullptr, nullptr,
                                 nullptr, nullptr);
        counts = Counts{};
        out = std::make_unique<SoundOutput>(*this, countingCalls());
        gOutput = out.get();
    }
    void TearDown() override {
        out.reset();
        gOutput = nullptr;
        DestroyWindow(window);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        }
        skv::platform::setVirtualClock(false);
        skv::platform::leaveVirtualClock();
    }

    HWND soundWindow() override { return window; }
    int32_t soundTempo() override { return tempo; }
    bool soundOff() override { return off; }

    static uint64_t elapsed() { return skv::platform::clockNowMs() - kStart; }
    // A sound of 8-bit samples at 11025/s, `ms` long, numbered n; it lives as long as the
    // test, past the output's close (as members outlive the device in the player).
    NWave* sound(int n, int ms, bool loops = false) {
        NWave* w = owned.emplace_back(std::make_unique<NWave>()).get();
        w->objectId = skv::memberGuid(n);
        w->allocate(11025 * ms / 1000, 11025, 8, 1);
        for (size_t i = 0; i < w->samples.size(); ++i)
            w->samples[i] = static_cast<uint8_t>(n * 40 + i % 17);
        w->loops = loops;
        return w;
    }
    // Waits on the virtual clock, handling the window's messages, until `ms` have passed.
    void runFor(DWORD ms) {
        const uint64_t until = skv::platform::clockNowMs() + ms;
        MSG msg;
        while (skv::platform::clockNowMs() < until) {
            MsgWaitForMultipleObjects(0, nullptr, FALSE,
                                      static_cast<DWORD>(until - skv::platform::clockNowMs()),
                                      QS_ALLINPUT);
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
                DispatchMessageA(&msg);
        }
    }

    HWND window = nullptr;
    int32_t tempo = 10;
    bool off = false;
    std::vector<std::unique_ptr<NWave>> owned;
    std::unique_ptr<SoundOutput> out;
};

TEST_F(Output, ASoundPlaysToItsEndAndTheCaptureHoldsExactlyItsSamples) {
    auto a = sound(1, 200);
    out->playSound(a);
    EXPECT_TRUE(out->deviceOpen());
    EXPECT_EQ(out->currentSound(), a);
    EXPECT_EQ(a->playing, 1);
    EXPECT_EQ(out->soundBusy(), 1);
    runFor(199);
    EXPECT_EQ(out->soundBusy(), 1);
    runFor(2);
    EXPECT_EQ(out->soundBusy(), 0);
    EXPECT_EQ(a->playing, 0);
    EXPECT_EQ(out->currentSound(), nullptr);
    EXPECT_EQ(out->headerCount(), 0u);
    EXPECT_EQ(out->outstanding(), 0);
    auto played = skv::platform::waveCapture();
    ASSERT_EQ(played.size(), 1u);
    EXPECT_EQ(played[0].samples, a->samples);
    EXPECT_EQ(played[0].startMs, kStart);
}

TEST_F(Output, ALoopingSoundFollowedByAnotherResetsTwiceAndStopsBeingPlaying) {
    auto a = sound(1, 100, true), b = sound(2, 100);
    out->playSound(a);
    runFor(250); // still looping
    EXPECT_EQ(out->soundBusy(), 1);
    counts.resets = 0;
    out->playSound(b);
    EXPECT_EQ(counts.resets, 2);
    EXPECT_EQ(a->playing, 0);
    EXPECT_EQ(b->playing, 1);
    // The looping buffer's done message comes after b started: it says nothing about b.
    EXPECT_EQ(out->soundBusy(), 1);
    EXPECT_EQ(out->currentSound(), b);
    runFor(101);
    EXPECT_EQ(out->soundBusy(), 0);
    auto played = skv::platform::waveCapture();
    ASSERT_EQ(played.size(), 2u);
    EXPECT_EQ(played[0].samples.size(), 11025u * 250 / 1000); // two and a half passes
    EXPECT_EQ(played[1].samples, b->samples);
    EXPECT_EQ(played[1].startMs - played[0].startMs, 250u);
}

TEST_F(Output, StopCloseAndReplay) {
    auto a = sound(1, 500);
    out->playSound(a);
    runFor(100);
    out->stopSound();
    EXPECT_EQ(a->playing, 0);
    EXPECT_EQ(out->currentSound(), nullptr);
    EXPECT_EQ(out->soundBusy(), 0);
    EXPECT_EQ(out->headerCount(), 0u); // its done message has been handled

    out->playSound(a);
    out->setVolume(0);
    out->replaySound(); // from the start, and audible again
    EXPECT_EQ(out->volume(), 0xFFFFFFFFu);
    EXPECT_EQ(a->playing, 1);
    EXPECT_EQ(out->soundBusy(), 1); // the replaced buffer's message left it playing
    out->close();
    EXPECT_FALSE(out->deviceOpen());
    EXPECT_EQ(out->headerCount(), 0u);
    EXPECT_EQ(a->playing, 0);
    EXPECT_EQ(counts.closes, 1);
    runFor(10); // the messages about freed headers are ignored
    EXPECT_EQ(out->soundBusy(), 0);

    off = true;
    out->playSound(a);
    EXPECT_FALSE(out->deviceOpen());
    EXPECT_EQ(a->playing, 0);
}

TEST_F(Output, AFormatChangeReopensTheDevice) {
    auto a = sound(1, 50), b = sound(2, 50), c = sound(3, 0);
    c->allocate(1000, 22050, 16, 1);
    out->playSound(a);
    out->playSound(b);
    EXPECT_EQ(counts.opens, 1);
    out->playSound(c);
    EXPECT_EQ(counts.opens, 2);
    EXPECT_EQ(counts.closes, 1);
    EXPECT_EQ(a->playing + b->playing, 0);
    runFor(100);
    auto played = skv::platform::waveCapture();
    ASSERT_EQ(played.size(), 3u);
    EXPECT_EQ(played[2].format.nSamplesPerSec, 22050u);
    EXPECT_EQ(played[2].format.wBitsPerSample, 16);
}

TEST_F(Output, TenOpenAttemptsThenTheSoundIsNotHeardAndPlaybackGoesOn) {
    counts.failOpen = true;
    auto a = sound(1, 100);
    const uint64_t before = elapsed();
    out->playSound(a);
    EXPECT_EQ(counts.opens, 10);
    EXPECT_EQ(elapsed() - before, 1000u); // 100 ms after each failure
    EXPECT_FALSE(out->deviceOpen());
    EXPECT_EQ(counts.writes, 1);    // written against the closed device
    EXPECT_EQ(a->playing, 0);       // and not taken for playing
    EXPECT_EQ(out->soundBusy(), 0); // so a wait for it ends
    EXPECT_EQ(out->headerCount(), 0u);
    EXPECT_TRUE(skv::platform::waveCapture().empty());
    counts.failOpen = false;
    out->playSound(a);
    EXPECT_EQ(a->playing, 1);
}

TEST_F(Output, AVoiceCodedSoundAtTheHighVariantPlaysAt22050SixteenBit) {
    soundtest::PrivateTemp temp;
    const auto source = soundtest::speech(22050, 0.3);
    skv::VoiceCodec enc;
    enc.setEncoderVariant(0x8000004);
    std::vector<uint8_t> coded;
    const auto bytes = soundtest::asBytes(source);
    WAVEFORMATEX f{WAVE_FORMAT_PCM, 1, 22050, 44100, 2, 16, 0};
    ASSERT_EQ(enc.encode(f, bytes.data(), static_cast<int32_t>(bytes.size()), &coded), 0);
    NWave& w = *sound(4, 0);
    WAVEFORMATEX claimed{WAVE_FORMAT_PCM, 1, 11025, 11025, 1, 8, 0};
    soundtest::loadBody(w, soundtest::storedBody(NWave::kStorageVoice, 0x8000004, claimed, coded));
    out->playSound(&w);
    runFor(301);
    auto played = skv::platform::waveCapture();
    ASSERT_EQ(played.size(), 1u);
    EXPECT_EQ(played[0].format.nSamplesPerSec, 22050u);
    EXPECT_EQ(played[0].format.wBitsPerSample, 16);
    EXPECT_EQ(played[0].samples, w.samples);
    EXPECT_EQ(played[0].samples.size(), bytes.size());
}

TEST_F(Output, FadeOutOverSixtyTicksAtTempoTenTakesNinthsAndRestoresAFrameLater) {
    waveOutSetVolume(nullptr, 0x90009000u); // 36864 = 9 x 4096 in each channel
    out->fadeOut(60);
    EXPECT_EQ(out->fadeStepSize(), 0x10001000u);
    EXPECT_EQ(out->volume(), 0x90009000u); // not changed yet
    std::vector<uint32_t> levels;
    for (int frame = 0; frame < 9; ++frame) {
        out->onFrameAdvance();
        levels.push_back(out->volume());
    }
    EXPECT_EQ(levels.front(), 0x80008000u);
    EXPECT_EQ(levels.back(), 0u);
    EXPECT_EQ(out->fadeMode(), SoundOutput::kFadeNone);
    EXPECT_TRUE(out->restorePending());
    out->onFrameAdvance();
    EXPECT_EQ(out->volume(), 0x90009000u);
    EXPECT_FALSE(out->restorePending());

    // From full volume the truncated ninths leave a little, gone at the tenth frame.
    waveOutSetVolume(nullptr, 0xFFFFFFFFu);
    out->fadeOut(60);
    EXPECT_EQ(out->fadeStepSize(), 7281u | 7281u << 16);
    int frames = 0;
    while (out->volume() != 0 && frames < 20) {
        out->onFrameAdvance();
        ++frames;
    }
    EXPECT_EQ(frames, 10);
    out->onFrameAdvance();
    EXPECT_EQ(out->volume(), 0xFFFFFFFFu);
}

TEST_F(Output, FadeInRisesFromSilenceToTheLevelItFound) {
    waveOutSetVolume(nullptr, 0x40002000u);
    tempo = 5; // 222 ms frames: 30 ticks = 500 ms = 2 steps
    out->fadeIn(30);
    EXPECT_EQ(out->volume(), 0u);
    out->fadeStep();
    EXPECT_EQ(out->volume(), 0x20001000u);
    out->fadeStep();
    EXPECT_EQ(out->volume(), 0x40002000u);
    EXPECT_EQ(out->fadeMode(), SoundOutput::kFadeNone);
    // A fade shorter than a frame is done in one step.
    tempo = 1;
    out->fadeOut(30);
    EXPECT_EQ(out->fadeStepSize(), 0x40002000u);
    out->fadeStep();
    EXPECT_EQ(out->volume(), 0u);
}

TEST_F(Output, TheCapturedFadeIsHeardStepByStep) {
    auto a = sound(1, 1000);
    for (auto& s : a->samples)
        s = 228; // +100 around the 8-bit middle
    waveOutSetVolume(nullptr, 0xFFFFFFFFu);
    out->playSound(a);
    tempo = 10;
    out->fadeOut(30); // 500 ms: four steps of a quarter (truncated: a fifth ends it)
    for (int i = 0; i < 6; ++i) {
        runFor(111);
        out->onFrameAdvance();
    }
    runFor(1000);
    auto played = skv::platform::waveCapture();
    ASSERT_EQ(played.size(), 1u);
    const auto& s = played[0].samples;
    ASSERT_EQ(s.size(), a->samples.size());
    EXPECT_EQ(s[100], 228);                     // before the first step
    EXPECT_EQ(s[11025 * 150 / 1000], 128 + 75); // after one step: three quarters
    EXPECT_EQ(s[11025 * 480 / 1000], 128);      // silent after the fourth
    EXPECT_EQ(s[11025 * 600 / 1000], 128);      // zero after the fifth
    EXPECT_EQ(s[11025 * 700 / 1000], 228);      // and back at full level a frame later
}

} // namespace
