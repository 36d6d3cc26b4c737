// The engine's use of its sound output: a frame's sound starts when the frame reaches the window,
// the same sound on the next frame is not started again, a wait for the sound (tempo 135) holds
// the frame while the output is busy, and the end of the movie closes the device. With the real
// output a sound member's samples reach the wave device at the time of its frame.
#include <atomic>
#include <functional>
#include <mutex>

#include "platform/clock.h"
#include "platform/mmsystem.h"
#include "player/controller.h"
#include "player/wavesound.h"
#include "player_fixture.h"
#include "sound/soundclasses.h"
#include "sound/wave.h"

using namespace skv;
using namespace skv::test;

namespace {

constexpr GUID kTestWaveClass{0x7E57A0E0, 2, 2, {1, 2, 3, 4, 5, 6, 7, 8}};

// A sound member as the stage sees one: drawing asks for it at the next flush, placing stops it.
class TestWave : public skvObject {
public:
    TestWave() { setClassId(kTestWaveClass); }
    void draw(skvView* view, const SpriteChannel*) override {
        if (nAnimation* stage = view ? view->animation() : nullptr) stage->setPendingSound(this);
    }
    void place(skvView* view, const SpriteChannel*) override {
        if (nAnimation* stage = view ? view->animation() : nullptr) stage->requestSoundStop();
    }
};

// What the engine asked of its output, shared with the test after the engine is gone.
struct SoundLog {
    std::mutex mutex;
    std::vector<std::string> calls;
    std::atomic<int> busyFor{0}; // soundBusy answers 1 this many more times after a play
    void add(const std::string& s) {
        std::lock_guard<std::mutex> g(mutex);
        calls.push_back(s);
    }
};

class RecordingSound : public SilentSound {
public:
    explicit RecordingSound(SoundLog* log, int busy) : log_(log), busy_(busy) {}
    void playSound(skvObject* wave) override {
        SilentSound::playSound(wave);
        log_->add("play " + std::to_string(wave->objectId.Data1));
        left_ = busy_;
    }
    void stopSound() override {
        SilentSound::stopSound();
        log_->add("stop");
    }
    void closeDevice() override {
        SilentSound::closeDevice();
        log_->add("close");
    }
    int32_t soundBusy() override {
        if (left_ <= 0) return 0;
        --left_;
        return 1;
    }

private:
    SoundLog* log_;
    int busy_;
    int left_ = 0;
};

TEST(EngineSound, FrameSoundsStartAtTheFlushAndAWaitForSoundHoldsTheFrame) {
    static const ClassRegistration reg(kTestWaveClass, &makeObject<TestWave>, "TestWave");
    TestWave wave;
    wave.objectId = memberGuid(50);
    MovieSpec m;
    m.names = {"enterFrame"};
    m.frames.frame(sprite(1, 40, 0, 0, 4, 4));
    m.frames.frame(std::vector<Record>{sound(50), tempo(135)});
    m.frames.frame(std::vector<Record>{tempo(8)}); // the same sound: not started again
    m.frames.frame(std::vector<Record>{sound(0)});
    m.blocks = {{40, 35}};
    m.extra = {&wave};
    HeadlessOptions o;
    o.url = movieFile(m);
    SoundLog sounds;
    o.sound = [&sounds] { return std::make_unique<RecordingSound>(&sounds, 200); };
    HeadlessRun run(o);
    ASSERT_TRUE(run.run().completed);

    std::vector<uint64_t> t = timesOf(run.log().lines(), "frame");
    ASSERT_EQ(t.size(), 5u); // frame 1 twice, then 2, 3, 4
    // The output was busy for 200 looks, one per millisecond of the wait.
    EXPECT_GE(t[3] - t[2], 200u);
    EXPECT_LT(t[3] - t[2], 210u);
    std::lock_guard<std::mutex> g(sounds.mutex);
    std::vector<std::string> plays = only(sounds.calls, {"play"});
    EXPECT_EQ(plays, (std::vector<std::string>{"play 50"}));
    // Frame 4 drops the sound, then the end of the movie closes the device.
    ASSERT_GE(sounds.calls.size(), 3u);
    EXPECT_EQ(std::vector<std::string>(sounds.calls.begin(), sounds.calls.begin() + 3),
              (std::vector<std::string>{"play 50", "stop", "close"}));
}

TEST(EngineSound, FadesStepPerFrameAndGiveTheVolumeBack) {
    // fadeOut over 60 ticks at tempo 10: 1000 ms in frames of 111 ms is 9 steps of a ninth.
    SilentSound s;
    s.setVolume(0x90009000);
    s.fadeOut(60, 1112 / 10);
    EXPECT_EQ(s.volume(), 0x90009000u) << "a fade out starts from the volume as it is";
    int steps = 0;
    while (s.fadeRunning() && steps < 20) {
        s.fadeStep();
        ++steps;
        if (steps == 1) {
            EXPECT_EQ(s.volume(), 0x80008000u);
        }
    }
    EXPECT_EQ(steps, 9);
    EXPECT_EQ(s.volume(), 0u);
    s.restoreVolumeIfPending();
    EXPECT_EQ(s.volume(), 0x90009000u);
    // A fade in starts silent and climbs back to where it began.
    s.fadeIn(60, 111);
    EXPECT_EQ(s.volume(), 0u);
    while (s.fadeRunning())
        s.fadeStep();
    EXPECT_EQ(s.volume(), 0x90009000u);
}

// The capture backend for one test, at full volume, and the null one again afterwards.
class CapturedWaves {
public:
    CapturedWaves() {
        platform::selectWaveOutput(platform::WaveBackend::Capture);
        platform::clearWaveCapture();
        waveOutSetVolume(nullptr, 0xFFFFFFFFu);
    }
    ~CapturedWaves() {
        platform::clearWaveCapture();
        platform::selectWaveOutput(platform::WaveBackend::Null);
    }
};

// A raw 8-bit sound of `frames` samples at 11025 per second: a ramp, so every sample tells where
// it came from.
void makeRamp(NWave& w, int32_t number, int32_t frames, int32_t loops = 0) {
    w.setClassId(CLSID_NWave);
    w.objectId = memberGuid(number);
    w.storageKind = NWave::kStorageRaw;
    w.allocate(frames, 11025, 8, 1);
    for (size_t i = 0; i < w.samples.size(); ++i)
        w.samples[i] = static_cast<uint8_t>(i % 251);
    w.loops = loops;
}

struct SoundRun {
    std::vector<uint64_t> frameTimes; // platform clock, per frame shown
    std::vector<platform::PlayedWave> played;
    bool completed = false;
};

// `atFrame`, when given, is called on the engine thread after each frame shown, as a script of
// that frame would run.
SoundRun playWithCapture(MovieSpec& m,
                         std::function<void(skvPlayer&, int32_t frame)> atFrame = nullptr) {
    registerSoundClasses();
    HeadlessOptions o;
    o.url = movieFile(m);
    SoundRun r;
    o.onFrame = [&r, atFrame](skvPlayer& p, int32_t frame) {
        r.frameTimes.push_back(platform::clockNowMs());
        if (atFrame) atFrame(p, frame);
        EXPECT_NE(dynamic_cast<WaveSound*>(&p.engine()->sound()), nullptr)
            << "the player's own output is the wave device";
    };
    HeadlessRun run(o);
    r.completed = run.run().completed;
    r.played = platform::waveCapture();
    return r;
}

TEST(EngineSound, AFramesSoundMemberReachesTheDeviceAtTheFramesTime) {
    CapturedWaves capture;
    // 2205 samples: 200 ms. Frame 2 names it and waits for it (tempo 135).
    NWave wave;
    makeRamp(wave, 50, 2205);
    MovieSpec m;
    m.names = {"enterFrame"};
    m.frames.frame(sprite(1, 40, 0, 0, 4, 4));
    m.frames.frame(std::vector<Record>{sound(50), tempo(135)});
    m.frames.frame(std::vector<Record>{tempo(8), sound(0)});
    m.frames.frame(std::vector<Record>{{at(2, 10), le16(4)}});
    m.blocks = {{40, 35}};
    m.extra = {&wave};
    SoundRun r = playWithCapture(m);
    ASSERT_TRUE(r.completed);
    ASSERT_EQ(r.frameTimes.size(), 5u); // frame 1 twice, then 2, 3, 4
    ASSERT_EQ(r.played.size(), 1u);
    const platform::PlayedWave& w = r.played[0];
    EXPECT_EQ(w.startMs, r.frameTimes[2]) << "the sound starts with the picture of its frame";
    EXPECT_EQ(w.format.nSamplesPerSec, 11025u);
    EXPECT_EQ(w.format.wBitsPerSample, 8);
    EXPECT_EQ(w.samples, wave.samples) << "every sample, unchanged at full volume";
    // The wait for the sound ends with the device's buffer-done message on the stage window.
    EXPECT_GE(r.frameTimes[3] - r.frameTimes[2], 200u);
    EXPECT_LT(r.frameTimes[3] - r.frameTimes[2], 215u);
}

TEST(EngineSound, ALoopingSoundPlaysUntilTheNextSoundReplacesIt) {
    CapturedWaves capture;
    // A 50 ms loop from frame 2, replaced on frame 4 by a 20 ms sound.
    NWave loop, next;
    makeRamp(loop, 50, 551, 1);
    makeRamp(next, 51, 220);
    MovieSpec m;
    m.names = {"enterFrame"};
    m.frames.frame(sprite(1, 40, 0, 0, 4, 4));
    m.frames.frame(std::vector<Record>{sound(50)});
    m.frames.frame(std::vector<Record>{{at(2, 10), le16(2)}});
    m.frames.frame(std::vector<Record>{sound(51)});
    m.frames.frame(std::vector<Record>{{at(2, 10), le16(4)}});
    m.blocks = {{40, 35}};
    m.extra = {&loop, &next};
    SoundRun r = playWithCapture(m);
    ASSERT_TRUE(r.completed);
    ASSERT_EQ(r.frameTimes.size(), 6u);
    ASSERT_EQ(r.played.size(), 2u);
    EXPECT_EQ(r.played[0].startMs, r.frameTimes[2]);
    EXPECT_EQ(r.played[1].startMs, r.frameTimes[4]);
    // The loop went round for the two frame intervals (2 x 129 ms) before frame 4 reset it.
    const uint64_t heardMs = r.played[0].samples.size() * 1000 / 11025;
    EXPECT_GE(heardMs + 1, r.frameTimes[4] - r.frameTimes[2]);
    EXPECT_LE(heardMs, r.frameTimes[4] - r.frameTimes[2] + 1);
    EXPECT_EQ(
        std::vector<uint8_t>(r.played[0].samples.begin() + 551, r.played[0].samples.begin() + 1102),
        loop.samples)
        << "the second pass repeats the first";
    EXPECT_EQ(r.played[1].samples, next.samples);
}

TEST(EngineSound, PuppetSoundStopsTheSoundAtOnceAndStartsItsMemberEvenWhenItWasPlaying) {
    CapturedWaves capture;
    // A 50 ms loop from frame 2, whose script then puppets that same sound; frame 4's puppets
    // another.
    NWave loop, next;
    makeRamp(loop, 50, 551, 1);
    makeRamp(next, 51, 220);
    MovieSpec m;
    m.names = {"enterFrame"};
    m.frames.frame(sprite(1, 40, 0, 0, 4, 4));
    m.frames.frame(std::vector<Record>{sound(50)});
    for (int16_t x : {2, 4, 6, 8})
        m.frames.frame(std::vector<Record>{{at(2, 10), le16(x)}});
    m.blocks = {{40, 35}};
    m.extra = {&loop, &next};
    int shown = 0;
    SoundRun r = playWithCapture(m, [&shown](skvPlayer& p, int32_t) {
        ++shown; // frame 1 is shown twice: the 3rd frame shown is frame 2
        if (shown == 3) p.engine()->puppetSound(50);
        if (shown == 5) p.engine()->puppetSound(51);
    });
    ASSERT_TRUE(r.completed);
    ASSERT_EQ(r.frameTimes.size(), 7u);
    // The loop, stopped when the script asked; the same loop again from the next frame on (it
    // used to stay silent); then the other sound, the loop stopped at once for it.
    ASSERT_EQ(r.played.size(), 3u);
    EXPECT_EQ(r.played[0].startMs, r.frameTimes[2]);
    const auto heard = [](const platform::PlayedWave& w) {
        return w.samples.size() * 1000 / 11025;
    };
    EXPECT_LE(heard(r.played[0]), r.frameTimes[2] - r.frameTimes[2] + 1);
    EXPECT_EQ(r.played[1].startMs, r.frameTimes[3]);
    EXPECT_EQ(std::vector<uint8_t>(r.played[1].samples.begin(), r.played[1].samples.begin() + 551),
              loop.samples);
    EXPECT_LE(heard(r.played[1]), r.frameTimes[4] - r.frameTimes[3] + 1);
    EXPECT_EQ(r.played[2].startMs, r.frameTimes[5]);
    EXPECT_EQ(r.played[2].samples, next.samples);
}

} // namespace
