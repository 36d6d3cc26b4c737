// skvAnimationPlayer: the engine. It is the stage window with its own thread; that thread runs
// the frame clock (one tick between passes of the window's message loop), advances the score,
// sends the frame events to the script runtime, renders through the stage compositor, answers
// mouse and keys, acts on the stream's status messages and owns the sound output.
//
// The view lock (the stage view's mutex) guards everything here; the engine thread holds it except
// while it dispatches messages, sleeps or calls the host. start and stop hand over through the
// playing, start-requested and stop-acknowledged flags, which other threads poll every 1 ms.
//
// Frame clock: a frame is due every 1112 / tempo ms (unsigned division). The deadline moves on
// by the interval rather than from the time of rendering, starts again from now when it has
// fallen behind, and is set 10 ms early to make up for a sleep's lateness. Waits of 18 ms or less
// are not slept; longer ones are slept at time-critical priority.
//
// Tempo bytes that wait: 128 until a left press or a key; 135 until the current sound ends (or
// at once when it loops); 192-255 for 256 - value seconds on window timer 100, which nothing but
// the timer ends.
//
// The engine is also what the pieces around it talk to: the sound output's host (its window,
// tempo and sound-off flag), the stage sound members look at (the current sound, a hub score),
// the receiver of the score's mouse events (passed on to the script runtime), and, through its
// EngineLink, the player scripts drive.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

#include "gfx/stageview.h"
#include "movie/score.h"
#include "player/playercallback.h"
#include "player/soundcontrol.h"
#include "script/events.h"
#include "script/scriptengine.h"
#include "sound/soundoutput.h"
#include "sound/soundstage.h"

namespace skv {

class MovieStream;
class qmsObjectManager;
class BrowserLink;
class EngineLink;
class ScoreCompositor;
class skvPlayer;
class skvScriptRuntime;
class StreamContext;
class WindowStatusSink;

class skvAnimationPlayer : public skvStageView,
                           public ScriptObjectLookup,
                           public SoundOutputHost,
                           public SoundStage,
                           public ScoreEvents {
public:
    static constexpr UINT_PTR kDelayTimer = 100;
    static constexpr uint32_t kSecondLength = 1112; // ms in the frame clock's second
    static constexpr uint32_t kTicksPerSecond = 60; // the unit of timeouts and script delays
    static constexpr uint32_t kDeadlineCorrection = 10;
    static constexpr uint32_t kLongestUnsleptWait = 18;
    static constexpr uint32_t kDefaultTimeoutTicks = 10800;

    explicit skvAnimationPlayer(skvPlayer* owner = nullptr);
    ~skvAnimationPlayer() override;

    // --- set by the controller (view lock held) ---------------------------------------------
    void setScriptRuntime(skvScriptRuntime* runtime);
    // Also takes the score's default tempo.
    void setScore(skvScore* score);
    // The stream whose store holds the members; attached to the score and its scorelets.
    void setMovieStream(StreamContext* stream, qmsObjectManager* store);
    void setCallback(PlayerCallback* callback) { callback_ = callback; }
    // Told about every event the script runtime delivers.
    void setEventListener(EventListener* listener);
    // Replaces the sound output (the engine owns it); none gives a silent one.
    void setSoundControl(std::unique_ptr<SoundControl> sound);
    // The browser's request interface scripts use (none until a host gives one).
    void setBrowserLink(BrowserLink* browser);
    // The status sink to give movie streams: it posts to this engine's window.
    WindowStatusSink* statusSink() const { return sink_.get(); }
    void setStageSize(int32_t width, int32_t height);

    // --- playback -----------------------------------------------------------------------------
    void start(bool wait);
    // Stops playback (the view's thread goes on; shutdown ends it).
    void stop() override;
    void pause();
    void resume();
    void stopAtEnd();
    void gotoFrame(int32_t n);
    void setTempo(int32_t fps);
    void render(int32_t full, int32_t quiet);
    // 5005 has arrived: the first frame, drawn quietly, with startMovie and enterFrame.
    void showFirstFrame();
    void restartTimeout();

    // --- sound (view lock held) -----------------------------------------------------------
    void playSound(skvObject* wave);
    void stopSound();
    void replaySound();
    void fadeIn(int32_t ticks);
    void fadeOut(int32_t ticks);
    uint32_t volume();
    void setVolume(uint32_t value);
    int32_t soundBusy();
    SoundControl& sound() { return *sound_; }

    // --- for scripts ----------------------------------------------------------------------
    void puppetSprite(int32_t sprite, int32_t flag);
    void puppetSound(int32_t number);
    void puppetTransition(int32_t effect, int32_t duration, int32_t chunk);
    RECT spriteRect(int32_t sprite);
    int32_t spriteWithin(int32_t a, int32_t b);
    int32_t spriteIntersects(int32_t a, int32_t b);

    // ScriptObjectLookup: scripts are found in the movie's store.
    skvObject* lookupObject(const GUID& objectId) override;

    // --- state ------------------------------------------------------------------------------
    skvScore* score() const { return score_; }
    skvScriptRuntime* scriptRuntime() const { return runtime_; }
    qmsObjectManager* objectManager() const { return store_; }
    uint32_t tempo() const { return tempo_.load(); }
    // The frame interval the tempo gives.
    uint32_t frameInterval() const;
    int32_t frameCounter() const { return frameCounter_.load(); }
    uint32_t nextDeadline() const { return deadline_; }
    bool isPlaying() const { return playing_.load() != 0; }
    bool hasEnded() const { return ended_.load() != 0; }
    bool isPaused() const { return paused_.load() != 0; }
    // SoundOutputHost
    HWND soundWindow() override { return window(); }
    int32_t soundTempo() override { return static_cast<int32_t>(tempo_.load()); }
    bool soundOff() override { return soundOff_.load() != 0; }
    // SoundStage
    skvObject* currentSound() override { return sound_->currentSound(); }
    bool showsHubScore() override { return score_ && score_->isHub(); }
    // ScoreEvents: the score's clicks go to the script runtime.
    void mouseDown(int32_t spriteScript, int32_t castNumber, int32_t frameScript,
                   int32_t sprite) override;
    void mouseUp(int32_t spriteScript, int32_t castNumber, int32_t frameScript,
                 int32_t sprite) override;
    EngineLink& link() { return *link_; }
    bool renderEnabled() const { return renderEnabled_ != 0; }
    void setRenderEnabled(int32_t flag) { renderEnabled_ = flag; }
    void setSoundOff(int32_t flag) { soundOff_.store(flag); }
    // The stage palette goes; the next movie brings its own.
    void forgetPalette();
    void setTimeoutLength(uint32_t ticks) { timeoutLength_ = ticks; }
    void setTimeoutOnMouse(int32_t flag) { timeoutOnMouse_ = flag; }
    void setTimeoutEveryFrame(int32_t flag) { timeoutEveryFrame_ = flag; }
    DWORD lastMouseTime() const { return lastMouse_; }
    DWORD lastKeyTime() const { return lastKey_; }
    DWORD lastClickTime() const { return lastClick_; }
    DWORD lastRollTime() const { return lastRoll_; }
    DWORD lastEventTime() const;
    POINT mousePosition() const { return mouse_; }
    int32_t buttonDown() const { return buttonDown_; }
    int32_t doubleClicked() const { return doubleClick_; }
    // The member under the mouse as last seen (0: none).
    int32_t mouseCast() const { return mouseCast_; }
    uint32_t timeoutElapsed() const { return ticksNow() - timeoutStart_; }
    uint32_t timeoutLength() const { return timeoutLength_; }
    int32_t timeoutOnMouse() const { return timeoutOnMouse_; }
    int32_t timeoutEveryFrame() const { return timeoutEveryFrame_; }
    // The cursor scripts chose (a ScriptCursor): the stage goes on showing it over a linear
    // score, and shows it at once.
    void setScriptCursor(int32_t cursor);
    int32_t scriptCursor() const { return scriptCursor_; }
    int32_t frameScript();
    // The sprite's own hit test at the mouse position.
    int32_t rollOver(int32_t sprite);
    int32_t waitMode() { return compositor().waitMode(); }
    // Called on the engine thread after every frame that reached the window (view lock held).
    void setFrameShownHook(std::function<void(int32_t frame)> hook) {
        frameShown_ = std::move(hook);
    }
    // Called after every step of a frame's transition reached the window, with the frame it
    // leads to and the step's number (from 1), on the thread that drew the step: the engine
    // thread or the multimedia timer's, while the engine waits for the transition with the
    // view lock held.
    void setTransitionStepHook(std::function<void(int32_t frame, int32_t step)> hook);
    // Called on the engine thread, view lock held, each time the splash has been drawn into the
    // stage window.
    void setSplashShownHook(std::function<void()> hook);

    // --- the stage window's messages ------------------------------------------------------
    void onIdle() override; // the tick
    void onTimer() override;
    void onNotify(WPARAM code, LPARAM data) override;
    void onLButtonDown(int32_t x, int32_t y) override;
    void onLButtonUp(int32_t x, int32_t y) override;
    void onLButtonDblClk(int32_t x, int32_t y) override;
    void onRButtonDown(int32_t x, int32_t y) override;
    void onMouseMove(int32_t x, int32_t y) override;
    void onSetCursor(int32_t x, int32_t y) override;
    void onKeyDown() override;
    void onWaveDone(LPARAM header) override;
    void onInit() override;

    // What the compositor asks of the view.
    void setStageTempo(int32_t fps) override { setTempo(fps); }
    void stopSoundOutput() override { stopSound(); }
    void startSound(skvObject* wave) override { playSound(wave); }
    void closeSoundOutput() override;

protected:
    // While a movie buffers there is no score yet, and the splash is what the stage shows.
    bool hasMovie() const override { return score_ != nullptr || splash() != nullptr; }
    bool isAnimating() const override { return playing_.load() && !ended_.load(); }
    void splashShown() override;

private:
    void tick();
    void advanceFrame();
    void schedule();
    void setUpForPlaying();
    // A fresh compositor on this view and the object store, the stage window and buffers at
    // the score's stage size, and the score's palette; false when the score has no stage size.
    bool prepareStage();
    void bindScore();
    // The end of the score, a missing frame, Ctrl + right click.
    void endPlayback(bool sendStopMovie);
    void postStatus(int32_t code);
    void handleStatus(int32_t code, int32_t data);
    skvObject* frameSound();
    // The script runtime's engine uses this engine's link while it is bound here.
    void linkRuntime();
    void applyScriptCursor();
    void flushed();
    uint32_t ticksNow() const;
    void clearWait();
    void takeKeyboard();

    skvPlayer* owner_;
    PlayerCallback* callback_ = nullptr;
    EventListener* listener_ = nullptr;
    skvScore* score_ = nullptr;
    skvScriptRuntime* runtime_ = nullptr;
    StreamContext* stream_ = nullptr;
    qmsObjectManager* store_ = nullptr;
    std::unique_ptr<ScoreCompositor> stageScore_;
    std::unique_ptr<SoundControl> sound_;
    std::unique_ptr<EngineLink> link_;
    std::unique_ptr<WindowStatusSink> sink_;
    std::function<void(int32_t)> frameShown_;
    std::function<void()> splashShown_;

    int32_t stageWidth_ = 512, stageHeight_ = 384;
    std::atomic<uint32_t> tempo_{8};
    std::atomic<int32_t> frameCounter_{1};
    uint32_t deadline_ = 0;
    std::atomic<int32_t> ended_{0};
    std::atomic<int32_t> playing_{0};
    std::atomic<int32_t> stopAcknowledged_{0};
    std::atomic<int32_t> startRequested_{0};
    std::atomic<int32_t> paused_{0};
    std::atomic<int32_t> soundOff_{0};
    int32_t renderEnabled_ = 0;
    int32_t startMovieSent_ = 0; // showing the first frame sent it for the coming playback
    int32_t delayTimerOn_ = 0;
    uint32_t timeoutStart_ = 0;
    uint32_t timeoutLength_ = kDefaultTimeoutTicks;
    int32_t timeoutOnMouse_ = 0;
    int32_t timeoutEveryFrame_ = 0;
    DWORD lastMouse_ = 0, lastKey_ = 0, lastClick_ = 0, lastRoll_ = 0;
    POINT mouse_{0, 0};
    int32_t buttonDown_ = 0;
    int32_t doubleClick_ = 0;
    int32_t mouseCast_ = 0;
    int32_t scriptCursor_ = -1; // none chosen: the score's own cursors
    HANDLE startEvent_ = nullptr;
    HANDLE stopEvent_ = nullptr;
};

} // namespace skv
