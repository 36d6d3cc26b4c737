// SoundOutput: the player's wave output device. It plays one sound at a time (looping or not),
// keeps the list of buffers the device holds, and runs volume fades. The player owns it and
// calls it under its view lock, on the engine thread or from a caller holding the lock; the
// device's MM_WOM_DONE messages reach the stage window, whose handler calls onBufferDone.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/mmsystem.h"

namespace skv {

class NWave;

// What the output needs of the player.
class SoundOutputHost {
public:
    virtual ~SoundOutputHost() = default;
    // The stage window: the device reports finished buffers to it.
    virtual HWND soundWindow() = 0;
    // Frames per second now, for the length of fade steps.
    virtual int32_t soundTempo() = 0;
    // Set between stop and start and during a pause: no sound may start.
    virtual bool soundOff() = 0;
};

// The device calls the output makes; tests put counting or failing ones in their place.
struct WaveOutCalls {
    MMRESULT(WINAPI* open)
    (LPHWAVEOUT, UINT, LPCWAVEFORMATEX, DWORD_PTR, DWORD_PTR, DWORD) = waveOutOpen;
    MMRESULT(WINAPI* close)(HWAVEOUT) = waveOutClose;
    MMRESULT(WINAPI* prepare)(HWAVEOUT, LPWAVEHDR, UINT) = waveOutPrepareHeader;
    MMRESULT(WINAPI* unprepare)(HWAVEOUT, LPWAVEHDR, UINT) = waveOutUnprepareHeader;
    MMRESULT(WINAPI* write)(HWAVEOUT, LPWAVEHDR, UINT) = waveOutWrite;
    MMRESULT(WINAPI* reset)(HWAVEOUT) = waveOutReset;
    MMRESULT(WINAPI* getVolume)(HWAVEOUT, DWORD*) = waveOutGetVolume;
    MMRESULT(WINAPI* setVolume)(HWAVEOUT, DWORD) = waveOutSetVolume;
};

class SoundOutput {
public:
    enum FadeMode : int32_t { kFadeNone = 0, kFadeIn = 1, kFadeOut = 2 };
    static constexpr int kOpenAttempts = 10;
    static constexpr DWORD kOpenRetryMs = 100;

    explicit SoundOutput(SoundOutputHost& host, const WaveOutCalls& calls = WaveOutCalls{});
    ~SoundOutput();
    SoundOutput(const SoundOutput&) = delete;
    SoundOutput& operator=(const SoundOutput&) = delete;

    // Plays the sound from its start, replacing the current one; (re)opens the device in the
    // sound's format first when needed.
    void playSound(NWave* wave);
    // MM_WOM_DONE's lParam.
    void onBufferDone(LPARAM header);
    void stopSound();
    void close();
    // The current sound again from its start, at full volume if the volume was 0.
    void replaySound();
    uint32_t volume();
    void setVolume(uint32_t value);
    // Handles the finished-buffer messages waiting for the calling thread, then answers whether
    // the current sound still plays.
    int32_t soundBusy();

    void fadeIn(int32_t ticks);
    void fadeOut(int32_t ticks);
    // One step of the running fade.
    void fadeStep();
    // At every frame advance: one fade step, and the volume put back when an earlier step
    // ended a fade at level 0.
    void onFrameAdvance();
    // Forgets a running fade and a pending restore (a new playback starts without them).
    void resetFade() {
        fadeMode_ = kFadeNone;
        restorePending_ = 0;
    }

    NWave* currentSound() const { return current_; }
    bool deviceOpen() const { return device_ != nullptr; }
    size_t headerCount() const { return headers_.size(); }
    int32_t outstanding() const { return outstanding_; }
    int32_t fadeMode() const { return fadeMode_; }
    uint32_t fadeStepSize() const { return fadeStep_; }
    uint32_t fadeLevel() const { return fadeLevel_; }
    uint32_t fadeTarget() const { return fadeTarget_; }
    bool restorePending() const { return restorePending_ != 0; }

private:
    bool sameFormat(const WAVEFORMATEX& f) const;
    void openFor(const WAVEFORMATEX& f);
    void startFade(int32_t ticks, FadeMode mode);
    void freeHeader(WAVEHDR* header);

    SoundOutputHost& host_;
    WaveOutCalls calls_;
    HWAVEOUT device_ = nullptr;
    std::vector<WAVEHDR*> headers_;
    NWave* current_ = nullptr;
    WAVEHDR* currentHeader_ = nullptr;
    WAVEFORMATEX format_{};
    bool formatKnown_ = false;
    int32_t outstanding_ = 0;

    int32_t fadeMode_ = kFadeNone;
    uint32_t fadeStep_ = 0;
    uint32_t fadeLevel_ = 0;
    uint32_t fadeTarget_ = 0;
    int32_t restorePending_ = 0;
};

} // namespace skv
