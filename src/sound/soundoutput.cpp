#include "sound/soundoutput.h"

#include <algorithm>
#include <cstdio>

#include "sound/wave.h"

namespace skv {

namespace {

// Device errors do not stop playback: their text goes to the diagnostic output.
void report(const char* call, MMRESULT err) {
    if (err == MMSYSERR_NOERROR) return;
    char text[128] = {};
    waveOutGetErrorTextA(err, text, 127);
    std::printf("sound: %s: %s\n", call, text);
}

} // namespace

SoundOutput::SoundOutput(SoundOutputHost& host, const WaveOutCalls& calls)
    : host_(host), calls_(calls) {}

SoundOutput::~SoundOutput() {
    close();
}

bool SoundOutput::sameFormat(const WAVEFORMATEX& f) const {
    return formatKnown_ && f.wFormatTag == format_.wFormatTag && f.nChannels == format_.nChannels &&
           f.nSamplesPerSec == format_.nSamplesPerSec && f.wBitsPerSample == format_.wBitsPerSample;
}

void SoundOutput::openFor(const WAVEFORMATEX& f) {
    if (device_) close();
    for (int attempt = 0; attempt < kOpenAttempts; ++attempt) {
        HWAVEOUT h = nullptr;
        const MMRESULT err =
            calls_.open(&h, WAVE_MAPPER, &f, reinterpret_cast<DWORD_PTR>(host_.soundWindow()),
                        reinterpret_cast<DWORD_PTR>(&host_), CALLBACK_WINDOW);
        if (err == MMSYSERR_NOERROR) {
            device_ = h;
            format_ = f;
            formatKnown_ = true;
            return;
        }
        report("waveOutOpen", err);
        Sleep(kOpenRetryMs);
    }
}

void SoundOutput::playSound(NWave* wave) {
    if (host_.soundOff() || !wave) return;
    if (!device_ || !sameFormat(wave->format)) openFor(wave->format);
    calls_.reset(device_);
    auto* header = new WAVEHDR{};
    headers_.push_back(header);
    header->lpData = reinterpret_cast<LPSTR>(wave->samples.data());
    header->dwBufferLength = header->dwBytesRecorded = static_cast<DWORD>(wave->sampleBytes());
    header->dwUser = reinterpret_cast<DWORD_PTR>(wave);
    if (wave->loops) {
        header->dwFlags = WHDR_BEGINLOOP | WHDR_ENDLOOP;
        header->dwLoops = 0xFFFFFFFFu;
    }
    report("waveOutPrepareHeader", calls_.prepare(device_, header, sizeof *header));
    if (current_ && current_ != wave) {
        // A looping sound keeps its device busy until it is reset once more.
        if (current_->loops) calls_.reset(device_);
        current_->playing = 0;
    }
    current_ = wave;
    currentHeader_ = header;
    wave->playing = 1;
    const MMRESULT err = calls_.write(device_, header, sizeof *header);
    if (err != MMSYSERR_NOERROR) {
        // Nothing will ever report this buffer done: the sound does not play, and a wait for
        // it must not last forever.
        report("waveOutWrite", err);
        wave->playing = 0;
        currentHeader_ = nullptr;
        freeHeader(header);
        return;
    }
    ++outstanding_;
}

void SoundOutput::freeHeader(WAVEHDR* header) {
    calls_.unprepare(device_, header, sizeof *header);
    headers_.erase(std::find(headers_.begin(), headers_.end(), header));
    delete header;
}

void SoundOutput::onBufferDone(LPARAM lParam) {
    auto* header = reinterpret_cast<WAVEHDR*>(lParam);
    // A message about a header this output no longer holds (freed on close, its address
    // perhaps reused since) is stale: only a listed header the device has marked done counts.
    if (std::find(headers_.begin(), headers_.end(), header) == headers_.end()) return;
    if (!(header->dwFlags & WHDR_DONE)) return;
    auto* wave = reinterpret_cast<NWave*>(header->dwUser);
    const bool wasCurrent = header == currentHeader_;
    freeHeader(header);
    --outstanding_;
    // The buffer a newer sound replaced says nothing about that newer sound.
    if (!wasCurrent) return;
    currentHeader_ = nullptr;
    if (wave) {
        wave->playing = 0;
        wave->notifyDone();
    }
    current_ = nullptr;
}

void SoundOutput::stopSound() {
    calls_.reset(device_);
    if (current_) current_->playing = 0;
    current_ = nullptr;
    currentHeader_ = nullptr;
}

void SoundOutput::close() {
    calls_.reset(device_);
    while (!headers_.empty()) {
        WAVEHDR* header = headers_.back();
        header->dwFlags |= WHDR_DONE; // done now, whatever the device said
        onBufferDone(reinterpret_cast<LPARAM>(header));
    }
    if (device_) calls_.close(device_);
    device_ = nullptr;
    if (current_) current_->playing = 0;
    current_ = nullptr;
    currentHeader_ = nullptr;
    formatKnown_ = false;
    outstanding_ = 0;
}

void SoundOutput::replaySound() {
    if (host_.soundOff()) return;
    if (volume() == 0) setVolume(0xFFFFFFFFu);
    playSound(current_);
}

uint32_t SoundOutput::volume() {
    DWORD v = 0;
    calls_.getVolume(device_, &v);
    return v;
}

void SoundOutput::setVolume(uint32_t value) {
    calls_.setVolume(device_, value);
}

int32_t SoundOutput::soundBusy() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, MM_WOM_DONE, MM_WOM_DONE, PM_REMOVE))
        DispatchMessageA(&msg);
    return current_ && current_->playing ? 1 : 0;
}

void SoundOutput::startFade(int32_t ticks, FadeMode mode) {
    fadeTarget_ = volume();
    const uint32_t ms = static_cast<uint32_t>(std::max(ticks, 0)) * 1000 / 60;
    const int32_t tempo = host_.soundTempo();
    const uint32_t interval = 1112u / static_cast<uint32_t>(tempo > 0 ? tempo : 1);
    if (interval < ms) {
        const uint32_t steps = ms / interval;
        const auto left = static_cast<uint32_t>(double(fadeTarget_ & 0xFFFF) / steps);
        const auto right = static_cast<uint32_t>(double(fadeTarget_ >> 16) / steps);
        fadeStep_ = left | right << 16;
    } else {
        fadeStep_ = fadeTarget_;
    }
    fadeMode_ = mode;
    if (mode == kFadeIn) {
        fadeLevel_ = 0;
        setVolume(0);
    } else {
        fadeLevel_ = fadeTarget_;
    }
}

void SoundOutput::fadeIn(int32_t ticks) {
    startFade(ticks, kFadeIn);
}

void SoundOutput::fadeOut(int32_t ticks) {
    startFade(ticks, kFadeOut);
}

void SoundOutput::fadeStep() {
    if (fadeMode_ == kFadeNone) return;
    int32_t channel[2] = {static_cast<int32_t>(fadeLevel_ & 0xFFFF),
                          static_cast<int32_t>(fadeLevel_ >> 16)};
    const int32_t step[2] = {static_cast<int32_t>(fadeStep_ & 0xFFFF),
                             static_cast<int32_t>(fadeStep_ >> 16)};
    for (int c = 0; c < 2; ++c)
        channel[c] = fadeMode_ == kFadeOut ? std::max(0, channel[c] - step[c])
                                           : std::min(0xFFFF, channel[c] + step[c]);
    fadeLevel_ = static_cast<uint32_t>(channel[0]) | static_cast<uint32_t>(channel[1]) << 16;
    if ((channel[0] == 0 && channel[1] == 0) || fadeLevel_ >= fadeTarget_) fadeMode_ = kFadeNone;
    setVolume(fadeLevel_);
    if (fadeLevel_ == 0) restorePending_ = 1;
}

void SoundOutput::onFrameAdvance() {
    // A fade that reached silence during an earlier frame gets its volume back now, one frame
    // after the last step, so that the silence is heard before the next sound.
    const bool restore = restorePending_ != 0;
    fadeStep();
    if (restore) {
        setVolume(fadeTarget_);
        restorePending_ = 0;
    }
}

} // namespace skv
