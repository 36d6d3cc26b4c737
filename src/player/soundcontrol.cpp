// Fades on a volume without a device: the same steps a device's volume takes.
#include "player/soundcontrol.h"

#include <algorithm>

namespace skv {

namespace {

uint32_t leftOf(uint32_t v) {
    return v & 0xFFFF;
}
uint32_t rightOf(uint32_t v) {
    return v >> 16;
}

} // namespace

void SilentSound::startFade(int32_t mode, int32_t ticks, uint32_t frameIntervalMs) {
    target_ = volume_;
    const int64_t ms = int64_t(ticks) * 1000 / 60;
    if (frameIntervalMs > 0 && int64_t(frameIntervalMs) < ms) {
        const double steps = double(ms / frameIntervalMs);
        step_ = uint32_t(double(leftOf(target_)) / steps) |
                (uint32_t(double(rightOf(target_)) / steps) << 16);
    } else {
        step_ = target_;
    }
    mode_ = mode;
    restorePending_ = 0;
    if (mode == 1) {
        level_ = 0;
        volume_ = 0;
    } else {
        level_ = target_;
    }
}

void SilentSound::fadeIn(int32_t ticks, uint32_t frameIntervalMs) {
    startFade(1, ticks, frameIntervalMs);
}

void SilentSound::fadeOut(int32_t ticks, uint32_t frameIntervalMs) {
    startFade(2, ticks, frameIntervalMs);
}

void SilentSound::fadeStep() {
    if (!mode_) return;
    int64_t left = leftOf(level_), right = rightOf(level_);
    const int64_t dl = leftOf(step_), dr = rightOf(step_);
    if (mode_ == 2) {
        left = std::max<int64_t>(0, left - dl);
        right = std::max<int64_t>(0, right - dr);
    } else {
        left = std::min<int64_t>(0xFFFF, left + dl);
        right = std::min<int64_t>(0xFFFF, right + dr);
    }
    level_ = uint32_t(left) | (uint32_t(right) << 16);
    if ((left == 0 && right == 0) || level_ >= target_) mode_ = 0;
    volume_ = level_;
    if (level_ == 0) restorePending_ = 1;
}

void SilentSound::onFrameAdvance() {
    const bool restore = restorePending_ != 0;
    fadeStep();
    if (restore) restoreVolumeIfPending();
}

void SilentSound::restoreVolumeIfPending() {
    if (!restorePending_) return;
    volume_ = target_;
    restorePending_ = 0;
}

} // namespace skv
