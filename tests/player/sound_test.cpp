// The engine's use of its sound output: a frame's sound starts when the frame reaches the window,
// the same sound on the next frame is not started again, a wait for the sound (tempo 135) holds
// the frame while the output is busy, and the end of the movie closes the device.
#include <atomic>
#include <mutex>

#include "player/controller.h"
#include "player_fixture.h"

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

} // namespace
