// skvPlayer: the controller the host creates for each embedded movie. It opens the movie stream,
// reports its state to the host, waits until the objects playback needs have arrived, and starts
// and stops the engine.
//
// | state | meaning           | on entry                                              |
// |-------|-------------------|-------------------------------------------------------|
// | 0     | closed            | splash removed, window invalidated                    |
// | 1     | opened, buffering | the splash becomes the stage's picture, shown at once |
// | 2     | playing           | host told 5011                                        |
// | 3     | stopped, ready    | host told 5010                                        |
//
// creation -> 0; open -> 1; 5005 (first frame shown) -> 3; play -> 2; stop, setWindow while
// playing, 5007 -> 3; destruction -> 3 then 0. Calls come from the host's thread; the engine's
// status handler calls prepareForPlayback, enterState, setCompleted and setFailed on its own.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/winuser.h"
#include "player/animationplayer.h"

namespace skv {

class BrowserLink;
class MovieStream;
class nDIB;
class qmsObjectManager;
struct MovieStreamStats;

class skvPlayer {
public:
    enum State : int32_t { kClosed = 0, kBuffering = 1, kPlaying = 2, kStopped = 3 };
    static constexpr int32_t kAlreadyPlaying = 0;
    static constexpr int32_t kNoEngine = 1;
    static constexpr int32_t kNoWindow = 2;
    static constexpr int32_t kNoStream = 3;
    static constexpr int32_t kStillBuffering = 5;
    static constexpr int32_t kNotReady = 75;
    static constexpr DWORD kObjectPollMs = 100;

    // Attaches to the window (none: later, through setWindow) and sets the stage size.
    skvPlayer(HWND window, int32_t width, int32_t height);
    ~skvPlayer();
    skvPlayer(const skvPlayer&) = delete;
    skvPlayer& operator=(const skvPlayer&) = delete;

    void setHostCallback(PlayerCallback* callback);
    // The host's page, text and preload requests and the embed parameters, for the scripts.
    void setUrlCallback(BrowserLink* link);
    BrowserLink* urlCallback() const { return urlCallback_; }
    // The "BUFFERING" picture, shown on the stage at once and again whenever a movie buffers;
    // ignored when one is set.
    void setSplash(std::unique_ptr<nDIB> splash);
    // Makes the sound output of every engine this controller creates (none: the wave output).
    void setSoundFactory(std::function<std::unique_ptr<SoundControl>()> factory);
    void setRateHint(int32_t hint) { rateHint_ = hint; }
    // Keeps the cache file of each movie after it closes.
    void setPersistentCache(bool on) { persistentCache_ = on; }

    void startEngine();
    void setWindow(HWND window);
    int32_t open(const char* url, int32_t flag = 0);
    void close();
    void prepareForPlayback();
    int32_t play();
    int32_t stop();
    void setStageSize(int32_t width, int32_t height);
    int32_t streamStatistics(MovieStreamStats* out);

    int32_t state() const { return state_.load(); }
    bool failed() const { return failed_.load() != 0; }
    bool completed() const { return completed_.load() != 0; }
    skvAnimationPlayer* engine() const { return engine_.get(); }
    MovieStream* movieStream() const { return stream_.get(); }
    qmsObjectManager* objectManager() const { return store_; }
    HWND window() const { return window_; }

    // For the engine's status handler.
    void enterState(int32_t state);
    void setCompleted() { completed_.store(1); }
    void setFailed() { failed_.store(1); }

private:
    void createEngine();
    // The splash becomes the stage's picture, and the stage window shows it.
    void showSplash();
    // The object stored under `id`, polled every 100 ms while the stream still delivers.
    skvObject* waitForObject(const GUID& id);
    void restoreVolume();

    std::unique_ptr<skvAnimationPlayer> engine_;
    std::unique_ptr<MovieStream> stream_;
    qmsObjectManager* store_ = nullptr;
    PlayerCallback* callback_ = nullptr;
    BrowserLink* urlCallback_ = nullptr;
    std::string url_;
    std::unique_ptr<nDIB> splash_;
    std::function<std::unique_ptr<SoundControl>()> soundFactory_;
    HWND window_ = nullptr;
    std::atomic<int32_t> completed_{0};
    int32_t rateHint_ = 0;
    std::atomic<int32_t> failed_{0};
    uint32_t savedVolume_ = 0xFFFFFFFF;
    std::atomic<int32_t> state_{kClosed};
    int32_t stageWidth_ = 512, stageHeight_ = 384;
    bool persistentCache_ = false;
};

} // namespace skv
