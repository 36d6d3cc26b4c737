#include "player/controller.h"

#include "core/classids.h"
#include "core/objectmanager.h"
#include "gfx/dib.h"
#include "movie/score.h"
#include "net/moviestream.h"
#include "player/playerclasses.h"
#include "player/windowstatussink.h"
#include "script/runtime.h"

namespace skv {

namespace {

constexpr int32_t kDefaultStageWidth = 512, kDefaultStageHeight = 384;

} // namespace

skvPlayer::skvPlayer(HWND window, int32_t width, int32_t height)
    : stageWidth_(width), stageHeight_(height) {
    // The stream this player opens is read through the class registry.
    registerPlayerClasses();
    if (window) setWindow(window);
}

skvPlayer::~skvPlayer() {
    enterState(kStopped);
    restoreVolume();
    if (engine_) engine_->stop();
    enterState(kClosed);
    if (engine_) {
        NMTX_SCOPED(guard, engine_->viewMutex());
        engine_->closeSoundOutput();
        engine_->setScore(nullptr);
        engine_->setScriptRuntime(nullptr);
        engine_->setMovieStream(nullptr, nullptr);
        engine_->compositor().reset();
    }
    // The stream's threads stop posting to the engine's window before either goes.
    if (stream_) stream_->stop();
    stream_.reset();
    engine_.reset();
}

void skvPlayer::setHostCallback(PlayerCallback* callback) {
    callback_ = callback;
    if (engine_) engine_->setCallback(callback);
}

void skvPlayer::setSplash(std::unique_ptr<nDIB> splash) {
    if (splash_) return;
    splash_ = std::move(splash);
    // Shown from now on: the browser may still be fetching the embed source (the whole movie,
    // when the embed names it), and when the source names no movie the splash stays.
    showSplash();
}

void skvPlayer::showSplash() {
    if (!engine_) return;
    {
        NMTX_SCOPED(guard, engine_->viewMutex());
        engine_->setSplash(splash_.get());
    }
    engine_->invalidate();
    // The stage window is made hidden and would otherwise first show with the first frame. It is
    // painted as it is shown, ahead of the statuses the stream is about to post to it.
    if (splash_) engine_->show(1, true);
}

void skvPlayer::setSoundFactory(std::function<std::unique_ptr<SoundControl>()> factory) {
    soundFactory_ = std::move(factory);
}

void skvPlayer::setUrlCallback(BrowserLink* link) {
    urlCallback_ = link;
    if (engine_) engine_->setBrowserLink(link);
}

void skvPlayer::createEngine() {
    engine_ = std::make_unique<skvAnimationPlayer>(this);
    engine_->setCallback(callback_);
    // Scripts reach the page, text and preload requests through the host's link.
    engine_->setBrowserLink(urlCallback_);
    if (soundFactory_) engine_->setSoundControl(soundFactory_());
    engine_->setStageSize(kDefaultStageWidth, kDefaultStageHeight);
}

void skvPlayer::startEngine() {
    if (engine_) engine_->waitForWindow();
}

void skvPlayer::setWindow(HWND window) {
    if (state_.load() == kPlaying && engine_) {
        engine_->stop();
        enterState(kStopped);
    }
    window_ = window;
    if (!engine_) {
        createEngine();
        RECT r{};
        GetClientRect(window, &r);
        PostMessageA(window, WM_SIZE, 0, MAKELPARAM(r.right, r.bottom));
        engine_->setPosition(std::max<int32_t>(r.right / 2 - 257, 0),
                             std::max<int32_t>(r.bottom / 2 - 193, 0));
    }
    {
        NMTX_SCOPED(guard, engine_->viewMutex());
        savedVolume_ = engine_->volume();
    }
    engine_->attachToWindow(window);
    engine_->waitForWindow();
}

void skvPlayer::restoreVolume() {
    if (!engine_) return;
    NMTX_SCOPED(guard, engine_->viewMutex());
    engine_->setVolume(savedVolume_);
}

void skvPlayer::enterState(int32_t state) {
    state_.store(state);
    switch (state) {
    case kClosed:
        if (engine_) {
            {
                NMTX_SCOPED(guard, engine_->viewMutex());
                engine_->setSplash(nullptr);
            }
            engine_->invalidate();
        }
        break;
    case kBuffering:
        showSplash();
        break;
    case kPlaying:
        if (callback_) callback_->onStatus(kStsPlayerPlaying, 0);
        break;
    case kStopped:
        if (callback_) callback_->onStatus(kStsPlayerStopped, 0);
        break;
    default:
        break;
    }
    if (callback_) callback_->onState(state);
}

int32_t skvPlayer::open(const char* url, int32_t flag) {
    if (stream_) close();
    if (!engine_) createEngine();
    {
        NMTX_SCOPED(guard, engine_->viewMutex());
        engine_->setVolume(savedVolume_);
        failed_.store(0);
        completed_.store(0);
        engine_->setRenderEnabled(0);
        engine_->setSoundOff(1);
        engine_->setScore(nullptr);
    }
    url_ = url ? url : "";
    stream_ = std::make_unique<MovieStream>(url_.c_str(), persistentCache_);
    store_ = stream_->getObjectManager();
    stream_->setStatusWindow(engine_->statusSink());
    enterState(kBuffering);
    stream_->start();
    return 0;
}

void skvPlayer::close() {
    stop();
    if (!stream_) return;
    if (engine_) {
        // Nothing of the engine may point into the store the stream is about to clear.
        NMTX_SCOPED(guard, engine_->viewMutex());
        engine_->setScore(nullptr);
        engine_->setScriptRuntime(nullptr);
        engine_->setMovieStream(nullptr, nullptr);
        engine_->compositor().reset();
    }
    stream_->stop();
    stream_.reset();
    store_ = nullptr;
}

skvObject* skvPlayer::waitForObject(const GUID& id) {
    for (;;) {
        const bool delivering = store_->isStreaming();
        if (skvObject* o = store_->find(id)) return o;
        if (!delivering) return nullptr;
        Sleep(kObjectPollMs);
    }
}

void skvPlayer::prepareForPlayback() {
    if (!engine_) {
        createEngine();
        if (window_) engine_->attachToWindow(window_);
        engine_->waitForWindow();
    }
    if (!store_) {
        failed_.store(1);
        return;
    }
    auto* runtime = dynamic_cast<skvScriptRuntime*>(waitForObject(CLSID_skvScriptRuntime));
    if (!runtime) {
        failed_.store(1);
        return;
    }
    auto* score = dynamic_cast<skvScore*>(waitForObject(CLSID_skvScore));
    if (!score) {
        failed_.store(1);
        return;
    }
    // The engine thread makes the window holding the view lock: wait for it outside the lock.
    engine_->waitForWindow();
    NMTX_SCOPED(guard, engine_->viewMutex());
    engine_->forgetPalette();
    engine_->setScriptRuntime(runtime);
    engine_->setScore(score);
    engine_->setMovieStream(stream_.get(), store_);
}

int32_t skvPlayer::play() {
    const int32_t s = state_.load();
    if (s == kPlaying) return kAlreadyPlaying;
    if (s == kBuffering) return kStillBuffering;
    if (!window_) return kNoWindow;
    prepareForPlayback();
    if (failed_.load()) return kNotReady;
    engine_->start(true);
    enterState(kPlaying);
    return 0;
}

int32_t skvPlayer::stop() {
    if (!engine_) return kNoEngine;
    if (state_.load() == kPlaying) engine_->stop();
    enterState(kStopped);
    return 0;
}

void skvPlayer::setStageSize(int32_t width, int32_t height) {
    stageWidth_ = width;
    stageHeight_ = height;
    if (engine_) engine_->setStageSize(width, height);
}

int32_t skvPlayer::streamStatistics(MovieStreamStats* out) {
    if (!stream_) return kNoStream;
    if (out) *out = stream_->snapshot();
    return 0;
}

} // namespace skv
