#include "plugin/pluginwindow.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/abandon.h"
#include "core/status.h"
#include "net/moviestream.h"
#include "net/statuscodes.h"
#include "net/stringtable.h"
#include "platform/clock.h"
#include "player/controller.h"
#include "plugin/deliveredmovie.h"
#include "plugin/embedsource.h"
#include "plugin/hostsink.h"
#include "plugin/instancelink.h"
#include "plugin/observer.h"
#include "plugin/pluginstate.h"
#include "plugin/splash.h"
#include "script/scripterror.h"
#include "sound/voicecodec.h"

namespace skv::plugin {

namespace {

LRESULT CALLBACK pluginWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto instance = static_cast<NPP>(GetPropA(window, kInstanceProperty));
    CPluginWindow* self = currentWindow(instance);
    if (!self) return 2;
    return self->windowProc(window, message, wParam, lParam);
}

bool equalsIgnoringCase(const char* a, const char* b) {
    for (; *a && *b; ++a, ++b)
        if (std::tolower(static_cast<unsigned char>(*a)) !=
            std::tolower(static_cast<unsigned char>(*b)))
            return false;
    return *a == *b;
}

} // namespace

CPluginWindow* currentWindow(NPP instance) {
    if (!instance || instance != moduleState().currentInstance.load()) return nullptr;
    return static_cast<CPluginWindow*>(instance->pdata);
}

CPluginWindow::CPluginWindow(NPP instance, uint16_t mode)
    : instance_(instance), deliveredMovie_(std::make_unique<DeliveredMovie>()), mode_(mode),
      browserLink_(std::make_unique<InstanceLink>(instance)) {}

CPluginWindow::~CPluginWindow() {
    active_.store(0);
    if (PluginObserver* o = observer()) o->linkReady(nullptr);
    // The player reports its last states to the sink on the way out: the sink goes after it.
    player_.reset();
    // Only now is nothing reading the copy of a delivered movie.
    deliveredMovie_.reset();
    hostCallback_.reset();
    browserLink_.reset();
    for (auto& s : streams_)
        s.reset();
    // Other windows realise their palettes again now that the movie's is gone.
    PostMessageA(HWND_BROADCAST, WM_QUERYNEWPALETTE, 0, 0);
    textResult_.reset();
}

void CPluginWindow::readSize(int16_t argc, char* names[], char* values[]) {
    for (int16_t i = 0; i < argc; ++i) {
        if (!names || !names[i]) continue;
        for (char* c = names[i]; *c; ++c)
            *c = static_cast<char>(std::tolower(static_cast<unsigned char>(*c)));
        const char* value = values && values[i] ? values[i] : "";
        if (std::strcmp(names[i], "width") == 0) width_ = std::atoi(value);
        if (std::strcmp(names[i], "height") == 0) height_ = std::atoi(value);
        if (width_ != 0 && height_ != 0) break;
    }
}

void CPluginWindow::addParameters(int16_t argc, char* names[], char* values[]) {
    for (int16_t i = 0; i < argc; ++i) {
        // An attribute written without a value (or with an empty one) has nothing to keep.
        if (!names || !values || !names[i] || !values[i] || !*names[i] || !*values[i]) continue;
        parameters_.addPair(names[i], values[i]);
    }
}

NPError CPluginWindow::setWindow(NPWindow* window) {
    if (!window) return NPERR_GENERIC_ERROR;
    npWindow_ = window;
    if (!window->window) return NPERR_NO_ERROR;
    if (!hwnd_) setUp(window);
    return NPERR_NO_ERROR;
}

void CPluginWindow::setUp(NPWindow* window) {
    hwnd_ = static_cast<HWND>(window->window);
    oldWndProc_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&pluginWindowProc)));
    SetPropA(hwnd_, kInstanceProperty, static_cast<HANDLE>(instance_));
    moduleState().parentWindow = GetParent(hwnd_);

    try {
        player_ = std::make_unique<skvPlayer>(hwnd_, width_, height_);
    } catch (...) {
        abandoned("CPluginWindow::setUp", "no player for the window: %s",
                  caughtScriptExceptionText().c_str());
        player_.reset();
        return;
    }
    hostCallback_ = std::make_unique<HostStatusSink>(this);
    player_->setHostCallback(hostCallback_.get());
    player_->setUrlCallback(browserLink_.get());
    // Before the splash: it is shown, and the observer told, as soon as the player has it.
    if (PluginObserver* o = observer()) watch(o);
    if (width_ != 0 && height_ != 0) player_->setStageSize(width_, height_);
    player_->setSplash(loadBufferingPicture());
    player_->startEngine();
    active_.store(1);
    if (IsWindow(hwnd_))
        SetWindowPos(hwnd_, nullptr, window->x, window->y, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CPluginWindow::watch(PluginObserver* o) {
    skvAnimationPlayer* engine = player_->engine();
    engine->setEventListener(o);
    engine->setFrameShownHook([o, engine](int32_t frame) {
        o->frameShown(engine->window(), frame, engine->frameCounter());
    });
    engine->setTransitionStepHook([o, engine](int32_t frame, int32_t step) {
        o->transitionStep(engine->window(), frame, step);
    });
    engine->setSplashShownHook([o, engine] { o->splashShown(engine->window()); });
    o->linkReady(browserLink_.get());
    // Read at the time of telling: the observer outlives every instance, this one may not.
    VoiceCodec::setNoticeHook([](const std::string& text) {
        if (PluginObserver* current = observer()) current->note(text.c_str());
    });
}

void CPluginWindow::recordStream(NPStream* stream, const char* mimeType) {
    const int32_t n = streamCount_.load();
    if (!stream || n >= kMaxStreams) return;
    auto r = std::make_unique<StreamRecord>();
    r->stream = stream;
    r->url = stream->url ? stream->url : "";
    r->mimeType = mimeType ? mimeType : "";
    r->index = n;
    r->length = stream->end;
    streams_[n] = std::move(r);
    streamCount_.store(n + 1);
}

void CPluginWindow::streamAsFile(NPStream* stream, const char* fileName) {
    if (!fileName || !*fileName) return;
    // The embed source is the instance's first stream; any later one is what a script asked
    // for, whenever it arrives: a text fetched in startMovie comes while the movie is still
    // starting, and taken for the embed source it would replace the movie.
    int32_t index = -1;
    const int32_t n = streamCount_.load();
    for (int32_t i = 0; i < n && index < 0; ++i)
        if (streams_[i] && streams_[i]->stream == stream) index = i;
    if (playing_.load() || index > 0) {
        if (index >= 0) {
            std::lock_guard<std::mutex> guard(fileNameMutex_);
            streams_[index]->fileName = fileName;
        }
        return;
    }
    pointerFileName_ = fileName;
    const EmbedSource source = readEmbedSource(fileName);
    const std::string address =
        source.isStream ? deliveredMovie_->address(stream ? stream->url : nullptr, fileName, source)
                        : source.address;
    if (!address.empty()) movieUrl_ = address;
    if (movieUrl_.empty() || !player_) return;
    try {
        player_->open(movieUrl_.c_str(), 0);
    } catch (...) {
        abandoned("CPluginWindow::streamAsFile", "opening %s: %s", movieUrl_.c_str(),
                  caughtScriptExceptionText().c_str());
        player_->stop();
        showError(moduleString(IDS_MOVIE_ALREADY_OPEN));
    }
}

void CPluginWindow::shutDown() {
    active_.store(0);
    playing_.store(0);
    if (player_) player_->stop();
    if (oldWndProc_ && IsWindow(hwnd_)) {
        SetWindowLongPtrA(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(oldWndProc_));
        RemovePropA(hwnd_, kInstanceProperty);
    }
}

void CPluginWindow::showError(const char* text) {
    active_.store(0);
    showStatus(instance_, kErrorStatusText);
    MessageBoxA(GetFocus(), text ? text : "", kErrorCaption, MB_OK | MB_ICONERROR);
}

void CPluginWindow::showProgress() {
    if (!player_) return;
    MovieStreamStats stats;
    if (player_->streamStatistics(&stats) != 0) return;
    maxPercent_ = nextProgressPercent(maxPercent_, stats.bytesConsumed, stats.bufferTarget);
    if (maxPercent_ > 0) {
        char text[64];
        std::snprintf(text, sizeof text, kProgressFormat, maxPercent_);
        showStatus(instance_, text);
    }
}

void CPluginWindow::startPlayback() {
    playbackPending_ = false;
    playing_.store(1);
    if (player_) player_->play();
    PostMessageA(hwnd_, msgShowPlaying, 0, 0);
}

void CPluginWindow::handleStatus(int32_t code) {
    if (code < 0) {
        char text[257];
        errorText(static_cast<uint32_t>(code), text, 256);
        showError(text);
        return;
    }
    switch (code) {
    case statusInt(stsInternetThreadStarted):
    case statusInt(stsServerConnectionEstablished):
        showStatus(instance_, moduleString(IDS_CONNECTING));
        break;
    case statusInt(stsSerializeThreadStopped):
        deliveryComplete_ = true;
        if (playbackPending_) startPlayback();
        break;
    case statusInt(stsBufferingComplete):
        if (platform::isVirtualClock() && !deliveryComplete_)
            playbackPending_ = true;
        else
            startPlayback();
        break;
    default:
        break;
    }
}

LRESULT CPluginWindow::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_QUERYNEWPALETTE:
    case WM_PALETTECHANGED:
        InvalidateRect(window, nullptr, FALSE);
        return 1;
    case WM_MOUSEACTIVATE:
        if (playing_.load()) showStatus(instance_, moduleString(IDS_PLAYING));
        break;
    case msgShowPlaying:
        showStatus(instance_, moduleString(IDS_PLAYING));
        return 0;
    case msgProgress:
        if (hostCallback_) hostCallback_->progressTaken();
        showProgress();
        return 0;
    case msgGotoNetPage:
    case msgGetNetText:
    case msgPreloadNetThing:
        sendRequest(reinterpret_cast<void*>(lParam));
        return 0;
    case msgStatus:
        if (active_.load()) handleStatus(static_cast<int32_t>(wParam));
        return 0;
    default:
        break;
    }
    return oldWndProc_ ? CallWindowProcA(oldWndProc_, window, message, wParam, lParam)
                       : DefWindowProcA(window, message, wParam, lParam);
}

bool CPluginWindow::parameter(const char* name, std::string* value) const {
    if (!name || !*name) return false;
    const char* v = parameters_.find(name);
    if (!v) return false;
    if (value) *value = v;
    return true;
}

const StreamRecord* CPluginWindow::record(int32_t index) const {
    if (index < 0 || index >= streamCount_.load()) return nullptr;
    return streams_[index].get();
}

int32_t nextProgressPercent(int32_t shown, int64_t consumed, int64_t target) {
    if (target <= 0 || consumed < 0) return shown;
    const int32_t p = static_cast<int32_t>(std::min<int64_t>(consumed * 100 / target, 100));
    return std::max(shown, p);
}

bool isMovieMimeType(const char* type) {
    return type && equalsIgnoringCase(type, kMovieMimeType);
}

} // namespace skv::plugin
