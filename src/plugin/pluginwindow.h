// CPluginWindow: the plug-in instance, one per embedded movie (at most one lives at a time). It
// reads its size and parameters from the embed element, subclasses the window the browser gives
// it and puts a player in it, turns the embed source the browser delivers (a text naming the
// movie, or the movie itself) into the movie's address, shows status texts, buffering progress
// and errors, and carries out the page, text and preload requests the movie's scripts make
// (netrequests.cpp).
//
// Threads: the browser's thread calls everything but the request starters and the result
// readers, which the player's thread calls. A stream record is published by raising
// streamCount after it is stored.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "net/parmmgr.h"
#include "platform/winuser.h"
#include "plugin/npapi.h"

namespace skv {
class skvPlayer;
}

namespace skv::plugin {

class DeliveredMovie;
class HostStatusSink;
class InstanceLink;
class PluginObserver;

// The plug-in's own window messages (WM_USER + 100, + 150, + 200, + 250, + 350) and the status
// message the sink posts.
constexpr UINT msgShowPlaying = 1124;
constexpr UINT msgProgress = 1174;
constexpr UINT msgGotoNetPage = 1224;
constexpr UINT msgGetNetText = 1274;
constexpr UINT msgPreloadNetThing = 1374;
constexpr UINT msgStatus = 8025;

constexpr const char kInstanceProperty[] = "ThisPlugIn";
constexpr const char kMovieMimeType[] = "application/vnd.skyvora";
constexpr const char kErrorCaption[] = "Quillon Skyvora Viewer Plugin";
constexpr const char kErrorStatusText[] = "Quillon Skyvora Viewer Plugin error";
constexpr const char kProgressFormat[] = "Skyvora Movie is %d%% complete";

struct StreamRecord {
    NPStream* stream = nullptr;
    std::string url;
    std::string fileName; // empty until the browser delivers the file
    std::string mimeType;
    int32_t index = 0;
    std::atomic<int32_t> done{0};
    uint32_t length = 0;
};

class CPluginWindow {
public:
    static constexpr int32_t kStreamSlots = 16;
    static constexpr int32_t kMaxStreams = 15;

    CPluginWindow(NPP instance, uint16_t mode);
    // Tears the instance down: player, sink, forwarder, streams, texts, parameters.
    ~CPluginWindow();
    CPluginWindow(const CPluginWindow&) = delete;
    CPluginWindow& operator=(const CPluginWindow&) = delete;

    // From the embed element: the size (names are lower-cased in place) and every attribute.
    void readSize(int16_t argc, char* names[], char* values[]);
    void addParameters(int16_t argc, char* names[], char* values[]);

    // The browser's set window: sets up the first time it names a window.
    NPError setWindow(NPWindow* window);
    void recordStream(NPStream* stream, const char* mimeType);
    void streamAsFile(NPStream* stream, const char* fileName);
    // The browser is about to destroy the instance: stop, and give the window back.
    void shutDown();

    LRESULT windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    // Requests the player's scripts make (netrequests.cpp); each returns the net id.
    int32_t gotoNetPage(const char* url);
    int32_t getNetText(const char* url);
    int32_t preloadNetThing(const char* url);
    int32_t netDone(int32_t id);
    const char* netTextResult(int32_t id);
    int32_t getLatestNetID() const { return streamCount_.load() - 1; }
    bool parameter(const char* name, std::string* value) const;
    // The browser's completion notice for a request.
    void urlNotify(const char* url, NPReason reason, void* notifyData);

    // For the status sink.
    bool active() const { return active_.load() != 0; }
    HWND hwnd() const { return hwnd_; }

    int32_t width() const { return width_; }
    int32_t height() const { return height_; }
    int32_t maxPercent() const { return maxPercent_; }
    int32_t streamCount() const { return streamCount_.load(); }
    const std::string& movieUrl() const { return movieUrl_; }
    skvPlayer* player() const { return player_.get(); }
    const parmMgr& parameters() const { return parameters_; }
    bool playing() const { return playing_.load() != 0; }

private:
    void setUp(NPWindow* window);
    // Hands the harness's observer the engine's events, frames, steps and splash.
    void watch(PluginObserver* o);
    void showError(const char* text);
    void showProgress();
    void handleStatus(int32_t code);
    void startPlayback();
    int32_t startRequest(int32_t kind, UINT message, const char* url);
    void sendRequest(void* request);
    const StreamRecord* record(int32_t index) const;

    NPP instance_;
    int32_t maxPercent_ = 0;
    NPWindow* npWindow_ = nullptr;
    std::string pointerFileName_;
    std::string movieUrl_;
    // The embed source when it is the movie itself; goes after the player that reads it.
    std::unique_ptr<DeliveredMovie> deliveredMovie_;
    std::unique_ptr<skvPlayer> player_;
    std::unique_ptr<HostStatusSink> hostCallback_;
    HWND hwnd_ = nullptr;
    WNDPROC oldWndProc_ = nullptr;
    uint16_t mode_;
    int32_t width_ = 0, height_ = 0;
    std::atomic<int32_t> active_{0};
    std::unique_ptr<InstanceLink> browserLink_;
    std::unique_ptr<StreamRecord> streams_[kStreamSlots];
    // A record's file name arrives on the browser's thread while scripts may read results.
    mutable std::mutex fileNameMutex_;
    std::atomic<int32_t> streamCount_{0};
    std::unique_ptr<char[]> textResult_;
    std::string lastTextFile_, lastPreloadFile_;
    parmMgr parameters_;
    std::atomic<int32_t> playing_{0};
    // On the virtual clock playback waits for the whole stream as well as for 5005, so that a
    // headless run does not depend on how far the stream threads got.
    bool deliveryComplete_ = false;
    bool playbackPending_ = false;
};

bool isMovieMimeType(const char* type);
// The buffering percentage to show after `shown`: consumed x 100 / target, at most 100, never
// below what was shown before; `shown` when the target is not known yet.
int32_t nextProgressPercent(int32_t shown, int64_t consumed, int64_t target);

// The instance the browser's handle names, when it is the current one; null otherwise.
CPluginWindow* currentWindow(NPP instance);

} // namespace skv::plugin
