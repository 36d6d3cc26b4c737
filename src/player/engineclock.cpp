// The engine's frame clock: the tick between passes of the stage window's message loop, advancing
// one frame, going to a frame, rendering, and the timeout.
#include "core/status.h"
#include "core/streamcontext.h"
#include "movie/frameimage.h"
#include "movie/score.h"
#include "player/animationplayer.h"
#include "script/runtime.h"

namespace skv {

uint32_t skvAnimationPlayer::frameInterval() const {
    const uint32_t t = tempo_.load();
    return t ? kSecondLength / t : kSecondLength;
}

uint32_t skvAnimationPlayer::ticksNow() const {
    return GetTickCount() * kTicksPerSecond / 1000u;
}

void skvAnimationPlayer::restartTimeout() {
    timeoutStart_ = ticksNow();
}

int32_t skvAnimationPlayer::frameScript() {
    return score_ ? score_->currentImage()->frameScript() : -1;
}

skvObject* skvAnimationPlayer::frameSound() {
    if (!score_) return nullptr;
    return score_->findMemberWaiting(score_->currentImage()->soundNumber());
}

void skvAnimationPlayer::setTempo(int32_t fps) {
    if (fps > 0) tempo_.store(static_cast<uint32_t>(fps));
}

void skvAnimationPlayer::onIdle() {
    tick();
}

void skvAnimationPlayer::tick() {
    if (startRequested_.load()) {
        startRequested_.store(0);
        playing_.store(1);
        SetEvent(startEvent_);
        return;
    }
    if (ended_.load() || !playing_.load()) {
        stopAcknowledged_.store(1);
        viewMutex()->unlock();
        Sleep(1);
        viewMutex()->lock();
        return;
    }
    const int32_t w = compositor().waitMode();
    if (w == 0) {
        stopAcknowledged_.store(0);
        const uint32_t now = timeGetTime();
        if (deadline_) {
            if (static_cast<int32_t>(deadline_ - now) < 0) deadline_ = now + 1;
            if (runtime_) runtime_->idle(frameScript());
            TIMECAPS caps{};
            const UINT minPeriod =
                timeGetDevCaps(&caps, sizeof caps) == TIMERR_NOERROR ? caps.wPeriodMin : 1;
            if (deadline_ - now < minPeriod) deadline_ = now + minPeriod + 1;
            const uint32_t wait = deadline_ - now;
            viewMutex()->unlock();
            HANDLE self = GetCurrentThread();
            SetThreadPriority(self, THREAD_PRIORITY_TIME_CRITICAL);
            if (wait > kLongestUnsleptWait) Sleep(wait);
            SetThreadPriority(self, THREAD_PRIORITY_NORMAL);
            viewMutex()->lock();
            // A stop or an end that came while the engine slept leaves the frame where it is.
            if (!playing_.load() || ended_.load()) return;
        }
        advanceFrame();
        frameCounter_.fetch_add(1);
        return;
    }
    if (tempoWaitsSeconds(w)) {
        if (!delayTimerOn_) {
            delayTimerOn_ = 1;
            SetTimer(window(), kDelayTimer, tempoWaitMs(w), nullptr);
        }
    } else if (w == kTempoWaitForSound) {
        if (!sound_->soundBusy() || sound_->currentLoops()) compositor().setWaitMode(0);
    }
    if (sound_->fadeRunning()) sound_->fadeStep();
    viewMutex()->unlock();
    Sleep(1);
    viewMutex()->lock();
}

void skvAnimationPlayer::advanceFrame() {
    skvScore* s = score_;
    if (!s) return;
    if (ticksNow() - timeoutStart_ >= timeoutLength_) {
        restartTimeout();
        if (runtime_) runtime_->timeout(frameScript());
    } else if (timeoutEveryFrame_) {
        restartTimeout();
    }
    if (s->goFlag()) {
        render(0, 0);
        s->clearGoFlag();
        if (runtime_) runtime_->enterFrame(frameScript());
    } else {
        if (runtime_) runtime_->exitFrame(frameScript());
        if (!playing_.load() || ended_.load()) return;
        // A paused movie stays on its frame but keeps its frame clock: without a deadline the
        // engine would send exitFrame again at once, for ever, and time would stand still.
        if (paused_.load()) {
            schedule();
            return;
        }
        if (s->goFlag() || s->nextFrame()) {
            render(0, 0);
            s->clearGoFlag();
            if (runtime_) runtime_->enterFrame(frameScript());
        } else {
            // The last frame stays on the stage.
            ended_.store(1);
            if (runtime_) runtime_->enterFrame(frameScript());
            endPlayback(true);
            return;
        }
    }
    sound_->onFrameAdvance();
    schedule();
}

void skvAnimationPlayer::schedule() {
    const uint32_t interval = frameInterval();
    const uint32_t now = timeGetTime();
    if (!deadline_) deadline_ = now;
    deadline_ += interval;
    if (static_cast<int32_t>(deadline_ - now) < 0) deadline_ = now + interval;
    if (deadline_ > kDeadlineCorrection) deadline_ -= kDeadlineCorrection;
}

void skvAnimationPlayer::endPlayback(bool sendStopMovie) {
    ended_.store(1);
    if (sendStopMovie && runtime_) runtime_->stopMovie();
    closeSoundOutput();
    postStatus(statusInt(stsPlaybackComplete));
    SetCursor(LoadCursorA(nullptr, IDC_ARROW));
}

void skvAnimationPlayer::gotoFrame(int32_t n) {
    NMTX_SCOPED(guard, viewMutex());
    if (!score_) return;
    if (!score_->gotoFrame(n)) endPlayback(true);
    frameCounter_.store(n);
}

void skvAnimationPlayer::render(int32_t full, int32_t quiet) {
    NMTX_SCOPED(guard, viewMutex());
    if (!renderEnabled_) return;
    redraw(full, quiet);
    flushed();
}

void skvAnimationPlayer::flushed() {
    if (frameShown_ && score_) frameShown_(score_->frameNumber());
}

void skvAnimationPlayer::closeSoundOutput() {
    sound_->closeDevice();
}

} // namespace skv
