// SoundControl: the engine's one wave output, as the engine uses it. The engine decides when a
// sound may start (never while sound is off) and calls in under the view lock; the output owns
// the device, its buffers, the current sound, the volume and fades. WaveSound (wavesound.h) is
// the one a player gets unless told otherwise.
//
// SilentSound is the output of a player without a device: it remembers the current sound as the
// device would but plays nothing, so a sound is never busy, and it keeps a volume and runs fades
// on it so that their timing is the same.
#pragma once

#include <cstdint>

#include "platform/winuser.h"

namespace skv {

class skvObject;
class SoundOutputHost;

class SoundControl {
public:
    virtual ~SoundControl() = default;

    // The engine: where buffer-done messages go (its stage window), its tempo and whether
    // sound is off. Given once, before any other call.
    virtual void setHost(SoundOutputHost* host) = 0;
    // Starts a wave (an NWave member), replacing the current sound.
    virtual void playSound(skvObject* wave) = 0;
    // Resets the device; the current sound is forgotten.
    virtual void stopSound() = 0;
    // Plays the current sound again.
    virtual void replaySound() = 0;
    // Resets and closes the device; the next sound opens it again.
    virtual void closeDevice() = 0;
    // MM_WOM_DONE for a buffer (its lParam).
    virtual void waveDone(LPARAM header) = 0;
    // Handles waiting buffer-done messages, then whether the current sound is playing.
    virtual int32_t soundBusy() = 0;
    virtual skvObject* currentSound() const = 0;
    // The current sound plays in a loop.
    virtual bool currentLoops() const = 0;

    // Left level in the low 16 bits, right in the high 16 bits.
    virtual uint32_t volume() = 0;
    virtual void setVolume(uint32_t value) = 0;

    // A fade over `ticks` of 1/60 s, stepped once per frame of `frameIntervalMs`.
    virtual void fadeIn(int32_t ticks, uint32_t frameIntervalMs) = 0;
    virtual void fadeOut(int32_t ticks, uint32_t frameIntervalMs) = 0;
    virtual bool fadeRunning() const = 0;
    // One step of the running fade (each tick while the engine waits).
    virtual void fadeStep() = 0;
    // At every frame advance: one fade step, and the volume given back when an earlier step
    // ended a fade in silence (so that the silence lasts a frame).
    virtual void onFrameAdvance() = 0;
    // Forgets any fade.
    virtual void resetFade() = 0;
};

class SilentSound : public SoundControl {
public:
    void setHost(SoundOutputHost*) override {}
    void playSound(skvObject* wave) override { current_ = wave; }
    void stopSound() override { current_ = nullptr; }
    void replaySound() override {}
    void closeDevice() override { current_ = nullptr; }
    void waveDone(LPARAM) override {}
    int32_t soundBusy() override { return 0; }
    skvObject* currentSound() const override { return current_; }
    bool currentLoops() const override { return false; }
    uint32_t volume() override { return volume_; }
    void setVolume(uint32_t value) override { volume_ = value; }
    void fadeIn(int32_t ticks, uint32_t frameIntervalMs) override;
    void fadeOut(int32_t ticks, uint32_t frameIntervalMs) override;
    bool fadeRunning() const override { return mode_ != 0; }
    void fadeStep() override;
    void onFrameAdvance() override;
    // A fade that reached silence gives the volume back.
    void restoreVolumeIfPending();
    void resetFade() override { mode_ = 0, restorePending_ = 0; }

private:
    void startFade(int32_t mode, int32_t ticks, uint32_t frameIntervalMs);

    skvObject* current_ = nullptr;
    uint32_t volume_ = 0xFFFFFFFF;
    int32_t mode_ = 0; // 1 in, 2 out
    uint32_t step_ = 0, level_ = 0, target_ = 0;
    int32_t restorePending_ = 0;
};

} // namespace skv
