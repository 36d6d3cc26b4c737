// skvAnimationPlayer: its links, starting and stopping, the first frame and the stream's status.
#include "player/animationplayer.h"

#include "core/objectmanager.h"
#include "core/status.h"
#include "core/streamcontext.h"
#include "gfx/palette.h"
#include "movie/score.h"
#include "movie/scorecompositor.h"
#include "player/controller.h"
#include "player/enginelink.h"
#include "player/wavesound.h"
#include "player/windowstatussink.h"
#include "script/runtime.h"

namespace skv {

skvAnimationPlayer::skvAnimationPlayer(skvPlayer* owner)
    : owner_(owner), sound_(std::make_unique<WaveSound>()),
      link_(std::make_unique<EngineLink>(*this)), sink_(std::make_unique<WindowStatusSink>()),
      startEvent_(CreateEventA(nullptr, TRUE, TRUE, nullptr)),
      stopEvent_(CreateEventA(nullptr, TRUE, TRUE, nullptr)) {
    sound_->setHost(this);
}

skvAnimationPlayer::~skvAnimationPlayer() {
    sink_->setWindow(nullptr);
    compositor().cutTransitionsShort();
    shutdown();
    // Only now that the thread is gone may the compositor forget the score it renders.
    setStageScore(nullptr);
    // The output's device goes before the host its buffers report to.
    sound_->closeDevice();
    sound_.reset();
    if (startEvent_) CloseHandle(startEvent_);
    if (stopEvent_) CloseHandle(stopEvent_);
}

void skvAnimationPlayer::onInit() {
    sink_->setWindow(window());
}

void skvAnimationPlayer::setScriptRuntime(skvScriptRuntime* runtime) {
    if (runtime_ && runtime_ != runtime) {
        runtime_->setEventListener(nullptr);
        // The runtime lives in the movie's store, which may outlast this engine.
        ScriptHost& host = runtime_->engine->host();
        if (host.link == link_.get()) host.setLink(nullptr);
    }
    runtime_ = runtime;
    if (!runtime_) return;
    runtime_->setEventListener(listener_);
}

void skvAnimationPlayer::linkRuntime() {
    // Scripts reach this engine through the host's link; the runtime keeps its host (and the
    // handler names scripts set on it) from one playback to the next.
    if (runtime_) runtime_->engine->host().setLink(link_.get());
}

void skvAnimationPlayer::setBrowserLink(BrowserLink* browser) {
    link_->setBrowser(browser);
}

void skvAnimationPlayer::mouseDown(int32_t spriteScript, int32_t castNumber, int32_t frameScript,
                                   int32_t sprite) {
    if (runtime_) runtime_->mouseDown(spriteScript, castNumber, frameScript, sprite);
}

void skvAnimationPlayer::mouseUp(int32_t spriteScript, int32_t castNumber, int32_t frameScript,
                                 int32_t sprite) {
    if (runtime_) runtime_->mouseUp(spriteScript, castNumber, frameScript, sprite);
}

void skvAnimationPlayer::setEventListener(EventListener* listener) {
    listener_ = listener;
    if (runtime_) runtime_->setEventListener(listener_);
}

void skvAnimationPlayer::setScore(skvScore* score) {
    if (score == score_) return;
    if (score_) score_->setEvents(nullptr);
    score_ = score;
    setStageScore(nullptr);
    stageScore_.reset();
    if (!score_) return;
    score_->setEvents(this);
    applyScriptCursor();
    stageScore_ = std::make_unique<ScoreCompositor>(score_, &compositor());
    tempo_.store(score_->defaultTempo() > 0 ? static_cast<uint32_t>(score_->defaultTempo()) : 8u);
    if (stream_) score_->attachStream(stream_);
}

void skvAnimationPlayer::setMovieStream(StreamContext* stream, qmsObjectManager* store) {
    stream_ = stream;
    store_ = store;
    if (score_) score_->attachStream(stream_);
}

void skvAnimationPlayer::setSoundControl(std::unique_ptr<SoundControl> sound) {
    NMTX_SCOPED(guard, viewMutex());
    if (sound_) sound_->closeDevice();
    sound_ = sound ? std::move(sound) : std::make_unique<SilentSound>();
    sound_->setHost(this);
}

void skvAnimationPlayer::setStageSize(int32_t width, int32_t height) {
    stageWidth_ = width;
    stageHeight_ = height;
    setSize(width, height);
}

skvObject* skvAnimationPlayer::lookupObject(const GUID& objectId) {
    return store_ ? store_->find(objectId) : nullptr;
}

void skvAnimationPlayer::setTransitionStepHook(std::function<void(int32_t, int32_t)> hook) {
    if (!hook) {
        compositor().setTransitionStepHook(nullptr);
        return;
    }
    // The score is not touched while the engine waits for the steps.
    compositor().setTransitionStepHook([this, hook = std::move(hook)](int32_t step) {
        hook(score_ ? score_->frameNumber() : 0, step);
    });
}

void skvAnimationPlayer::setSplashShownHook(std::function<void()> hook) {
    // The engine thread may be painting the splash right now.
    NMTX_SCOPED(guard, viewMutex());
    splashShown_ = std::move(hook);
}

void skvAnimationPlayer::splashShown() {
    if (splashShown_) splashShown_();
}

bool skvAnimationPlayer::prepareStage() {
    compositor().reset();
    compositor().attachView(this);
    compositor().setObjectStore(store_);
    int32_t w = 0, h = 0;
    score_->stageSize(&w, &h);
    if (w <= 1 && h <= 1) return false;
    if (w != stageWidth_ || h != stageHeight_) {
        stageWidth_ = w;
        stageHeight_ = h;
        setSize(w, h);
    }
    compositor().createBuffers(w, h, 8);
    compositor().setPalette(nullptr);
    setStageScore(stageScore_.get());
    // The palette the score shows now, waited for as the frames wait for theirs: bitmaps take
    // their colours from the stage palette on their first draw, and would keep the black of
    // an empty palette for good.
    if (store_) {
        if (auto* p = dynamic_cast<skvPalette*>(
                store_->findOrWait(paletteIdentity(score_->currentPalette()))))
            compositor().setPalette(p);
    }
    return true;
}

void skvAnimationPlayer::bindScore() {
    score_->clearGoFlag();
    score_->attachStream(stream_);
    if (runtime_) runtime_->attach(this, owner_);
    linkRuntime();
}

void skvAnimationPlayer::showFirstFrame() {
    NMTX_SCOPED(guard, viewMutex());
    setSplash(nullptr);
    invalidate();
    ended_.store(0);
    if (!score_) return;
    if (!prepareStage()) return;
    bindScore();
    score_->rewind();
    show(1);
    if (runtime_) runtime_->startMovie();
    gotoFrame(1);
    frameCounter_.store(1);
    redrawAndInvalidate(1, 1);
    flushed();
    score_->clearGoFlag();
    if (runtime_) runtime_->enterFrame(frameScript());
    restartTimeout();
    renderEnabled_ = 1;
    // This playback has had its startMovie; start must not send a second one.
    startMovieSent_ = 1;
}

void skvAnimationPlayer::setUpForPlaying() {
    {
        NMTX_SCOPED(guard, viewMutex());
        ended_.store(0);
        if (!score_) return;
        if (!prepareStage()) return;
        bindScore();
        render(0, 0);
        show(1);
        frameCounter_.store(1);
        restartTimeout();
    }
    if (runtime_ && !startMovieSent_) {
        NMTX_SCOPED(guard, viewMutex());
        runtime_->startMovie();
    }
    startMovieSent_ = 0;
    sound_->resetFade();
    lastMouse_ = lastKey_ = 0;
}

void skvAnimationPlayer::start(bool wait) {
    compositor().allowTransitions();
    if (!playing_.load()) setUpForPlaying();
    ResetEvent(startEvent_);
    startRequested_.store(1);
    soundOff_.store(0);
    {
        NMTX_SCOPED(guard, viewMutex());
        if (skvObject* wave = frameSound()) playSound(wave);
    }
    if (!wait || onViewThread()) return;
    while (!playing_.load() && isRunning()) {
        MSG msg;
        PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);
        Sleep(1);
    }
}

void skvAnimationPlayer::stop() {
    // A transition holds the view lock until it ends; a stop does not wait for the rest of it.
    compositor().cutTransitionsShort();
    stopAcknowledged_.store(0);
    startRequested_.store(0);
    paused_.store(0);
    playing_.store(0);
    {
        NMTX_SCOPED(guard, viewMutex());
        clearWait();
    }
    if (!onViewThread()) {
        while (!stopAcknowledged_.load() && isRunning()) {
            if (InSendMessage()) ReplyMessage(0);
            MSG msg;
            PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);
            startRequested_.store(0);
            paused_.store(0);
            playing_.store(0);
            Sleep(1);
        }
    }
    NMTX_SCOPED(guard, viewMutex());
    soundOff_.store(1);
    stopSound();
}

void skvAnimationPlayer::pause() {
    NMTX_SCOPED(guard, viewMutex());
    paused_.store(1);
    soundOff_.store(1);
    stopSound();
}

void skvAnimationPlayer::resume() {
    NMTX_SCOPED(guard, viewMutex());
    skvObject* wave = frameSound();
    paused_.store(0);
    soundOff_.store(0);
    if (!wave) wave = sound_->currentSound();
    playSound(wave);
}

void skvAnimationPlayer::stopAtEnd() {
    stop();
    postStatus(statusInt(stsPlaybackComplete));
    SetCursor(LoadCursorA(nullptr, IDC_ARROW));
}

void skvAnimationPlayer::postStatus(int32_t code) {
    if (stream_) stream_->post(code);
}

void skvAnimationPlayer::onNotify(WPARAM wParam, LPARAM lParam) {
    sink_->taken(static_cast<uint32_t>(lParam));
    handleStatus(static_cast<int32_t>(static_cast<uint32_t>(wParam)), 0);
}

void skvAnimationPlayer::handleStatus(int32_t code, int32_t data) {
    switch (static_cast<uint32_t>(code)) {
    case stsBufferingComplete:
        if (owner_) owner_->prepareForPlayback();
        if (owner_ && owner_->failed()) {
            code = statusInt(stsServerBusy);
        } else {
            showFirstFrame();
            if (score_) score_->countFrames();
            if (owner_) owner_->enterState(skvPlayer::kStopped);
        }
        break;
    case stsPlaybackComplete:
        if (owner_) {
            owner_->setCompleted();
            owner_->stop();
        } else {
            stop();
        }
        break;
    case stsErrorConstructingStream:
    case stsUnknownError:
    case stsServerNotFound:
    case stsServerBusy:
    case stsServerBadRequest:
    case stsErrorSerialzingObject:
    case stsBadStreamHeader:
        if (owner_) owner_->setFailed();
        break;
    default:
        break;
    }
    if (!callback_) return;
    viewMutex()->unlock();
    callback_->onStatus(code, data);
    viewMutex()->lock();
}

} // namespace skv
