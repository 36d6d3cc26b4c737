#include "session.h"

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "browser.h"
#include "contactsheet.h"
#include "core/status.h"
#include "fetch.h"
#include "page.h"
#include "platform/clock.h"
#include "platform/display.h"
#include "platform/win32.h"
#include "player/eventlog.h"
#include "player/headlessrun.h"
#include "plugin/observer.h"

namespace skvplay {

namespace {

using namespace skv;

constexpr uint64_t kHeadlessLimitMs = 600000;

// Output files may name folders that do not exist yet, as --frames may; whatever cannot be made
// shows when the file is written.
void makeFolderOf(const std::string& file) {
    const std::filesystem::path folder = std::filesystem::path(file).parent_path();
    std::error_code ec;
    if (!folder.empty()) std::filesystem::create_directories(folder, ec);
}

// What skvplay watches inside the plug-in: the log gets the player's codes, states, events and
// frames; frames are saved and kept for the contact sheet.
class RunObserver : public plugin::PluginObserver {
public:
    RunObserver(EventLog& log, const SessionOptions& options, HANDLE done)
        : log_(log), options_(options), done_(done) {}

    void onStatus(int32_t code, int32_t data) override {
        log_.onStatus(code, data);
        if (code == statusInt(stsPlaybackComplete)) {
            completed_.store(true);
            SetEvent(done_);
        }
    }
    void onState(int32_t state) override {
        log_.onState(state);
        if (state == 2) playing_.store(true);
    }
    void eventDelivered(const EventReport& report) override { log_.eventDelivered(report); }
    void note(const char* text) override { log_.note(text); }
    void abandoned(const char* operation, const char* reason) override {
        log_.abandoned(operation, reason);
    }
    void frameShown(HWND stage, int32_t frame, int32_t counter) override {
        stage_.store(stage);
        const int32_t n = shown_.fetch_add(1) + 1;
        if (options_.maxFrames > 0 && n > options_.maxFrames) return;
        log_.frameShown(frame, counter);
        if (!options_.framesDir.empty() &&
            platform::saveWindowPng(stage, options_.framesDir + "/" + framePictureName(n)))
            saved_.fetch_add(1);
        if (!options_.contactSheet.empty()) sheet_.add(platform::captureWindow(stage));
        if (options_.maxFrames > 0 && n >= options_.maxFrames) SetEvent(done_);
    }
    void transitionStep(HWND stage, int32_t frame, int32_t step) override {
        const int32_t next = shown_.load() + 1;
        if (options_.maxFrames > 0 && next > options_.maxFrames) return;
        log_.transitionStep(frame, step);
        if (!options_.steps) return;
        if (!options_.framesDir.empty() &&
            platform::saveWindowPng(stage, options_.framesDir + "/" + framePictureName(next, step)))
            steps_.fetch_add(1);
        if (!options_.contactSheet.empty()) sheet_.add(platform::captureWindow(stage));
    }

    bool completed() const { return completed_.load(); }
    bool playing() const { return playing_.load(); }
    int32_t shown() const {
        return std::min(shown_.load(), options_.maxFrames > 0 ? options_.maxFrames : INT32_MAX);
    }
    int32_t saved() const { return saved_.load(); }
    int32_t stepsSaved() const { return steps_.load(); }
    HWND stage() const { return stage_.load(); }
    const ContactSheet& sheet() const { return sheet_; }

private:
    EventLog& log_;
    const SessionOptions& options_;
    HANDLE done_;
    std::atomic<bool> completed_{false}, playing_{false};
    std::atomic<int32_t> shown_{0}, saved_{0}, steps_{0};
    std::atomic<HWND> stage_{nullptr};
    ContactSheet sheet_;
};

std::string readStart(const std::string& path, size_t n) {
    std::ifstream in(path, std::ios::binary);
    std::string s(n, '\0');
    in.read(s.data(), static_cast<std::streamsize>(n));
    s.resize(static_cast<size_t>(in.gcount()));
    return s;
}

std::string absolutePath(const std::string& path) {
    if (path.empty() || path[0] == '/') return path;
    char cwd[4096];
    if (!getcwd(cwd, sizeof cwd)) return path;
    return std::string(cwd) + "/" + path;
}

std::string folderOf(const std::string& path) {
    const size_t cut = path.rfind('/');
    return cut == std::string::npos ? "." : path.substr(0, cut);
}

bool isTerminal() {
    return isatty(2) != 0;
}

// A session that could not begin: why, and the exit status that says so.
SessionResult refused(int exitCode, std::string why) {
    SessionResult r;
    r.exitCode = exitCode;
    r.error = std::move(why);
    return r;
}

// What the browser opens: the embeds of a page as it stands, or one embed of our own for an
// embed source or a movie address (whose embed source is written into `work`).
struct Opening {
    std::vector<EmbedElement> embeds;
    std::string base;
};

bool chooseOpening(const std::string& target, const std::string& work, Opening* out,
                   std::string* error) {
    const bool remote = target.rfind("qmsp:", 0) == 0 || target.rfind("http:", 0) == 0;
    const std::string local = remote ? std::string() : absolutePath(localPath(target));
    const TargetKind kind = classifyTarget(target, remote ? "" : readStart(local, 512));
    const bool readable = remote || access(local.c_str(), R_OK) == 0;
    if (!readable) {
        *error =
            (kind == TargetKind::MovieAddress ? "cannot read the movie " : "cannot read ") + target;
        return false;
    }
    if (kind == TargetKind::Page) {
        std::string html;
        if (!fetchUrl(remote ? target : local, &html, error)) return false;
        out->embeds = parseEmbeds(html);
        out->base = remote ? target : folderOf(local);
        return true;
    }
    std::string source = local;
    if (kind == TargetKind::MovieAddress) {
        const std::string address = remote ? target : "file:" + local;
        source = work + "/movie.skm";
        std::ofstream(source, std::ios::binary) << address << "\r\n";
    }
    EmbedElement e;
    e.attributes = {{"src", source}, {"type", "application/vnd.skyvora"}};
    out->embeds.push_back(e);
    out->base = folderOf(source);
    return true;
}

} // namespace

SessionResult runSession(const SessionOptions& options) {
    SessionResult result;
    const bool headless = options.headless;
    if (headless) {
        setenv("SKV_DISPLAY", "headless", 1);
        platform::selectDisplay(platform::DisplayBackend::Headless);
        platform::setVirtualClock(true, 1000000);
    } else {
        std::string why;
        if (!platform::selectDisplay(platform::DisplayBackend::Sdl, &why))
            return refused(1, "cannot open a window (" + why + "); run with --headless");
    }
    // Absolute, as the page written there names its embed source relative to its own folder.
    const char* tmp = std::getenv("TMPDIR");
    const std::string work =
        absolutePath(options.workDir.empty() ? std::string(tmp && *tmp ? tmp : "/tmp") +
                                                   "/skvplay-" + std::to_string(getpid())
                                             : options.workDir);
    mkdir(work.c_str(), 0700);
    // A folder of our own choosing is ours to clear away; one the user named is kept.
    struct WorkFolder {
        std::string path;
        ~WorkFolder() {
            std::error_code ec;
            if (!path.empty()) std::filesystem::remove_all(path, ec);
        }
    } ownWork{options.workDir.empty() ? work : std::string()};

    Opening opening;
    std::string error;
    if (!chooseOpening(options.target, work, &opening, &error)) return refused(2, error);
    const std::vector<EmbedElement>& embeds = opening.embeds;
    const std::string& base = opening.base;

    EventLog log;
    if (!options.logPath.empty()) makeFolderOf(options.logPath);
    if (!options.logPath.empty() && !log.openFile(options.logPath))
        return refused(2, "cannot write the log " + options.logPath +
                              " (give --log a file in a folder you can write to)");
    std::vector<platform::InputEvent> input;
    if (!options.inputPath.empty() && !platform::loadInputScript(options.inputPath, &input, &error))
        return refused(2, options.inputPath + ": " + error);
    if (!options.framesDir.empty()) {
        std::error_code ec;
        std::filesystem::create_directories(options.framesDir, ec);
        if (ec) return refused(2, "cannot make the frames folder " + options.framesDir);
    }

    HANDLE done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    RunObserver observer(log, options, done);
    BrowserOptions bo;
    bo.pluginName = options.pluginName;
    bo.oldBrowser = options.oldBrowser;
    bo.openPages = !headless;
    bo.streamDir = work + "/streams";
    bo.log = &log;
    HWND* pagePtr = nullptr;
    std::string lastStatus;
    bo.onStatus = [&pagePtr, &lastStatus, headless](const std::string& text) {
        // The plug-in may say the same thing twice ("Connecting to server..." as the stream
        // starts and again as it connects); a status line that does not change is not news.
        if (text == lastStatus) return;
        lastStatus = text;
        if (!headless && pagePtr && *pagePtr)
            SetWindowTextA(*pagePtr, ("skvplay - " + text).c_str());
        if (isTerminal())
            std::fprintf(stderr, "\r\x1b[K%s", text.c_str());
        else
            std::fprintf(stderr, "%s\n", text.c_str());
    };
    {
        Browser browser(bo);
        if (!browser.loadPlugin(&error)) {
            CloseHandle(done);
            return refused(2, error);
        }
        if (auto set = reinterpret_cast<SkvSetPluginObserverFunc>(
                browser.pluginSymbol("skvSetPluginObserver")))
            set(&observer);
        log.restartClock();
        platform::clearMessageBoxes();
        if (!browser.openPage(embeds, base, &error)) {
            result.error = error;
            result.exitCode = 2;
        } else {
            HWND page = browser.pageWindow();
            pagePtr = &page;
            const uint64_t start = platform::clockNowMs();
            const uint64_t limit = options.seconds > 0
                                       ? static_cast<uint64_t>(options.seconds * 1000)
                                   : headless ? kHeadlessLimitMs
                                              : UINT64_MAX;
            size_t boxesLogged = 0;
            bool inputStarted = false;
            for (;;) {
                MSG msg;
                while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
                    DispatchMessageA(&msg);
                while (browser.runPendingRequests()) {
                }
                if (!inputStarted && observer.playing()) {
                    inputStarted = true;
                    // The keyboard goes to the movie once it plays, as when a person has
                    // clicked it: the page itself has no use for keys.
                    if (HWND stage = observer.stage()) SetFocus(stage);
                    if (!input.empty()) {
                        log.note("input");
                        platform::runInputScript(input);
                    }
                }
                const auto boxes = platform::messageBoxes();
                for (; boxesLogged < boxes.size(); ++boxesLogged) {
                    log.entry("messageBox",
                              boxes[boxesLogged].caption + ": " + boxes[boxesLogged].text);
                    result.boxTexts.push_back(boxes[boxesLogged].text);
                }
                if (headless && !boxes.empty()) break; // answered; the movie will not play
                // A window keeps showing the last frame until it is closed; headless ends.
                if (WaitForSingleObject(done, 0) == WAIT_OBJECT_0 &&
                    (headless || !observer.completed()))
                    break;
                if (!IsWindow(page)) break;
                const uint64_t now = platform::clockNowMs();
                if (now - start >= limit) break;
                const DWORD wait =
                    static_cast<DWORD>(std::min<uint64_t>(limit - (now - start), 100));
                if (!headless && observer.completed())
                    MsgWaitForMultipleObjects(0, nullptr, FALSE, wait, QS_ALLINPUT);
                else
                    MsgWaitForMultipleObjects(1, &done, FALSE, wait, QS_ALLINPUT);
            }
            pagePtr = nullptr;
            result.completed = observer.completed();
            result.messageBoxes = static_cast<int32_t>(boxesLogged);
        }
        browser.closePage();
        browser.unloadPlugin();
        // The observer outlives every instance; the module is gone now.
    }
    if (isTerminal()) std::fputc('\n', stderr);
    result.framesShown = observer.shown();
    result.framesSaved = observer.saved();
    result.stepsSaved = observer.stepsSaved();
    if (!options.contactSheet.empty()) {
        std::string error;
        makeFolderOf(options.contactSheet);
        if (!observer.sheet().write(options.contactSheet, &error))
            std::fprintf(stderr, "skvplay: no contact sheet: %s\n", error.c_str());
    }
    CloseHandle(done);
    if (headless) platform::setVirtualClock(false);
    if (result.exitCode == 0 && result.messageBoxes > 0) result.exitCode = 3;
    if (result.exitCode == 0 && result.framesShown == 0) {
        result.error = "no movie played: not one frame was shown";
        result.exitCode = 4;
    }
    return result;
}

} // namespace skvplay
