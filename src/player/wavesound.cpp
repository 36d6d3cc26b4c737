#include "player/wavesound.h"

#include "sound/wave.h"

namespace skv {

WaveSound::~WaveSound() = default;

void WaveSound::setHost(SoundOutputHost* host) {
    output_.reset();
    if (host) output_ = std::make_unique<SoundOutput>(*host, calls_);
}

void WaveSound::playSound(skvObject* wave) {
    if (output_) output_->playSound(dynamic_cast<NWave*>(wave));
}

void WaveSound::stopSound() {
    if (output_) output_->stopSound();
}

void WaveSound::replaySound() {
    if (output_) output_->replaySound();
}

void WaveSound::closeDevice() {
    if (output_) output_->close();
}

void WaveSound::waveDone(LPARAM header) {
    if (output_) output_->onBufferDone(header);
}

int32_t WaveSound::soundBusy() {
    return output_ ? output_->soundBusy() : 0;
}

skvObject* WaveSound::currentSound() const {
    return output_ ? output_->currentSound() : nullptr;
}

bool WaveSound::currentLoops() const {
    const NWave* wave = output_ ? output_->currentSound() : nullptr;
    return wave && wave->loops != 0;
}

uint32_t WaveSound::volume() {
    if (output_) return output_->volume();
    DWORD v = 0;
    calls_.getVolume(nullptr, &v);
    return v;
}

void WaveSound::setVolume(uint32_t value) {
    if (output_)
        output_->setVolume(value);
    else
        calls_.setVolume(nullptr, value);
}

void WaveSound::fadeIn(int32_t ticks, uint32_t) {
    if (output_) output_->fadeIn(ticks);
}

void WaveSound::fadeOut(int32_t ticks, uint32_t) {
    if (output_) output_->fadeOut(ticks);
}

bool WaveSound::fadeRunning() const {
    return output_ && output_->fadeMode() != SoundOutput::kFadeNone;
}

void WaveSound::fadeStep() {
    if (output_) output_->fadeStep();
}

void WaveSound::onFrameAdvance() {
    if (output_) output_->onFrameAdvance();
}

void WaveSound::resetFade() {
    if (output_) output_->resetFade();
}

} // namespace skv
