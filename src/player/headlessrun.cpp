#include "player/headlessrun.h"

#include <atomic>
#include <cstdio>

#include "core/status.h"
#include "movie/score.h"
#include "platform/clock.h"
#include "player/controller.h"
#include "sound/voicecodec.h"

namespace skv {

std::string framePictureName(int32_t shown, int32_t step) {
    char name[48];
    if (step)
        std::snprintf(name, sizeof name, "frame-%05d-step-%03d.png", shown, step);
    else
        std::snprintf(name, sizeof name, "frame-%05d.png", shown);
    return name;
}

namespace {

constexpr const char* kPageClass = "SkvHeadlessPage";

bool registerPageClass() {
    static const bool ok = [] {
        WNDCLASSA wc{};
        wc.lpfnWndProc = DefWindowProcA;
        wc.lpszClassName = kPageClass;
        wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
        return RegisterClassA(&wc) != 0;
    }();
    return ok;
}

bool isFailure(int32_t code) {
    return code < 0;
}

// A voice decoder library that cannot be had silences the voice-coded sounds: the log says why,
// as standard error does. Only while the player lives, however the run leaves.
struct NoticesToLog {
    explicit NoticesToLog(EventLog& log) {
        VoiceCodec::setNoticeHook([&log](const std::string& text) { log.note(text); });
    }
    ~NoticesToLog() { VoiceCodec::setNoticeHook(nullptr); }
    NoticesToLog(const NoticesToLog&) = delete;
    NoticesToLog& operator=(const NoticesToLog&) = delete;
};

} // namespace

struct HeadlessRun::Signals {
    HANDLE buffered = CreateEventA(nullptr, TRUE, FALSE, nullptr);  // 5005 handled
    HANDLE delivered = CreateEventA(nullptr, TRUE, FALSE, nullptr); // 5004, or a failure
    HANDLE ended = CreateEventA(nullptr, TRUE, FALSE, nullptr);     // 5007
    std::atomic<int32_t> frames{0};
    std::atomic<bool> failed{false};
    ~Signals() {
        CloseHandle(buffered);
        CloseHandle(delivered);
        CloseHandle(ended);
    }
};

HeadlessRun::HeadlessRun(HeadlessOptions options)
    : options_(std::move(options)), signals_(std::make_unique<Signals>()) {
    if (!options_.logPath.empty() && !log_.openFile(options_.logPath))
        std::fprintf(stderr, "cannot write the log %s\n", options_.logPath.c_str());
}

HeadlessRun::~HeadlessRun() = default;

bool HeadlessRun::waitFor(void* event, uint64_t limitMs) {
    const uint64_t until = platform::clockNowMs() + limitMs;
    HANDLE h = static_cast<HANDLE>(event);
    for (;;) {
        // The page window belongs to this thread: its messages are handled while it waits.
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
        const uint64_t now = platform::clockNowMs();
        if (now >= until) return WaitForSingleObject(h, 0) == WAIT_OBJECT_0;
        const DWORD left = static_cast<DWORD>(std::min<uint64_t>(until - now, 1000));
        const DWORD r = MsgWaitForMultipleObjects(1, &h, FALSE, left, QS_ALLINPUT);
        if (r == WAIT_OBJECT_0) return true;
    }
}

HeadlessResult HeadlessRun::run() {
    HeadlessResult result;
    const bool wasVirtual = platform::isVirtualClock();
    if (options_.virtualClock && !wasVirtual) platform::setVirtualClock(true, 1000000);
    platform::selectDisplay(platform::DisplayBackend::Headless);
    log_.restartClock();
    if (!registerPageClass()) {
        result.error = "cannot register the page window class";
        return result;
    }
    HWND page = CreateWindowExA(0, kPageClass, "Skyvora", WS_VISIBLE, 0, 0, options_.pageWidth,
                                options_.pageHeight, nullptr, nullptr, nullptr, nullptr);
    if (!page) {
        result.error = "cannot create the page window";
        return result;
    }

    Signals& sig = *signals_;
    log_.setStatusHook([&sig](int32_t code, int32_t) {
        if (code == statusInt(stsBufferingComplete)) SetEvent(sig.buffered);
        if (code == statusInt(stsSerializeThreadStopped)) SetEvent(sig.delivered);
        if (code == statusInt(stsPlaybackComplete)) SetEvent(sig.ended);
        if (isFailure(code)) {
            sig.failed.store(true);
            SetEvent(sig.buffered);
            SetEvent(sig.delivered);
        }
    });

    const NoticesToLog notices(log_);
    {
        auto player = std::make_unique<skvPlayer>(nullptr, options_.pageWidth, options_.pageHeight);
        if (options_.sound) player->setSoundFactory(options_.sound);
        player->setHostCallback(&log_);
        player->setWindow(page);
        skvAnimationPlayer* engine = player->engine();
        engine->setEventListener(&log_);
        skvPlayer* p = player.get();
        engine->setFrameShownHook([this, engine, p, &sig](int32_t frame) {
            const int32_t n = sig.frames.fetch_add(1) + 1;
            log_.frameShown(frame, engine->frameCounter());
            if (!options_.framesDir.empty()) {
                const std::string path = options_.framesDir + "/" + framePictureName(n);
                if (platform::saveWindowPng(engine->window(), path)) saved_.push_back(path);
            }
            if (options_.onFrame) options_.onFrame(*p, frame);
        });
        engine->setTransitionStepHook([this, engine, &sig](int32_t frame, int32_t step) {
            log_.transitionStep(frame, step);
            if (!options_.steps || options_.framesDir.empty()) return;
            const std::string path =
                options_.framesDir + "/" + framePictureName(sig.frames.load() + 1, step);
            if (platform::saveWindowPng(engine->window(), path)) saved_.push_back(path);
        });

        player->open(options_.url.c_str());
        const bool buffered = waitFor(sig.buffered, options_.limitMs);
        const bool delivered = buffered && waitFor(sig.delivered, options_.limitMs);
        result.opened = buffered && delivered && !sig.failed.load() && !player->failed();
        if (!result.opened) {
            result.error = !buffered    ? "the movie did not finish buffering in time"
                           : !delivered ? "the stream did not end in time"
                                        : "the movie could not be read";
            log_.note(result.error);
        } else {
            // Keys go to the stage, as they do once a person has clicked the plug-in.
            SetFocus(engine->window());
            if (!options_.input.empty()) {
                log_.note("input");
                platform::runInputScript(options_.input);
            }
            result.playResult = player->play();
            log_.played(result.playResult);
            if (options_.afterPlay) options_.afterPlay(*player);
            if (result.playResult == 0) {
                result.completed = waitFor(sig.ended, options_.limitMs);
                result.timedOut = !result.completed;
                // What the end posted has been handled before the player goes.
                if (result.completed) waitFor(sig.delivered, 0);
            }
        }
        if (options_.beforeClose) options_.beforeClose(*player);
        player->close();
        player.reset();
    }
    result.framesShown = sig.frames.load();
    log_.setStatusHook(nullptr);
    DestroyWindow(page);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageA(&msg);
    if (options_.virtualClock && !wasVirtual) {
        platform::setVirtualClock(false);
        platform::leaveVirtualClock();
    }
    return result;
}

} // namespace skv
