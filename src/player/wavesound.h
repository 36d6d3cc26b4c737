// WaveSound: the engine's sound output on the wave output device. It gives the engine's calls to
// a SoundOutput, which it makes once the engine (its SoundOutputHost) is known; sounds are NWave
// members, and anything else asked to play is not heard.
#pragma once

#include <memory>

#include "player/soundcontrol.h"
#include "sound/soundoutput.h"

namespace skv {

class WaveSound : public SoundControl {
public:
    explicit WaveSound(const WaveOutCalls& calls = WaveOutCalls{}) : calls_(calls) {}
    ~WaveSound() override;

    void setHost(SoundOutputHost* host) override;
    void playSound(skvObject* wave) override;
    void stopSound() override;
    void replaySound() override;
    void closeDevice() override;
    void waveDone(LPARAM header) override;
    int32_t soundBusy() override;
    skvObject* currentSound() const override;
    bool currentLoops() const override;
    uint32_t volume() override;
    void setVolume(uint32_t value) override;
    // The output takes the frame interval from the host's tempo, as the engine does.
    void fadeIn(int32_t ticks, uint32_t frameIntervalMs) override;
    void fadeOut(int32_t ticks, uint32_t frameIntervalMs) override;
    bool fadeRunning() const override;
    void fadeStep() override;
    void onFrameAdvance() override;
    void resetFade() override;

    // Null until the host is given.
    SoundOutput* output() const { return output_.get(); }

private:
    WaveOutCalls calls_;
    std::unique_ptr<SoundOutput> output_;
};

} // namespace skv
