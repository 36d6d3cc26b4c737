#include "session.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "browser.h"
#include "contactsheet.h"
#include "core/moviecheck.h"
#include "core/status.h"
#include "fetch.h"
#include "page.h"
#include "platform/clock.h"
#include "platform/display.h"
#include "platform/win32.h"
#include "player/eventlog.h"
#include "player/headlessrun.h"
#include "player/playerclasses.h"
#include "plugin/observer.h"

namespace skvplay {

namespace {

using namespace skv;

constexpr uint64_t kHeadlessLimitMs = uint64_t(kHeadlessLimitSeconds) * 1000;

// Why a movie's server could not be reached, for the statuses that mean it was never reached;
// null for any other. The plug-in's own texts for these speak of a busy server.
const char* unreachableWords(int32_t code) {
    switch (static_cast<uint32_t>(code)) {
    case 0x80000FA5:
        return "it was not found";
    case 0x80000FB0:
        return "the network could not be used";
    case 0x80000FB1:
        return "the address is not a valid movie address";
    case 0x80000FB2:
        return "its host name could not be resolved";
    case 0x80000FB3:
        return "it could not be reached, or it did not answer in time";
    case 0x80000FB4:
        return "the connection was refused: nothing is listening there";
    case 0x80000FB5:
        return "the connection was broken off";
    default:
        return nullptr;
    }
}

// Output files may name folders that do not exist yet, as --frames may; whatever cannot be made
// shows when the file is written.
void makeFolderOf(const std::string& file) {
    const std::filesystem::path folder = std::filesystem::path(file).parent_path();
    std::error_code ec;
    if (!folder.empty()) std::filesystem::create_directories(folder, ec);
}

// What skvplay watches inside the plug-in: the log gets the player's codes, states, events and
// frames; frames are saved and kept for the contact sheet, and the splash is saved beside them.
class RunObserver : public plugin::PluginObserver {
public:
    RunObserver(EventLog& log, const SessionOptions& options, HANDLE done)
        : log_(log), options_(options), done_(done), sheet_(options.contactSheetEvery) {}

    void onStatus(int32_t code, int32_t data) override {
        log_.onStatus(code, data);
        int32_t none = 0;
        if (unreachableWords(code)) unreachable_.compare_exchange_strong(none, code);
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
        if (!options_.contactSheet.empty())
            sheet_.add({n, 0}, [stage] { return platform::captureWindow(stage); });
        if (options_.maxFrames > 0 && n >= options_.maxFrames) SetEvent(done_);
    }
    void splashShown(HWND stage) override {
        // The picture a person looks at until the first frame, kept once beside the frames.
        if (shown_.load() > 0 || splashSeen_.exchange(true)) return;
        log_.entry("splash", "shown");
        if (!options_.framesDir.empty())
            platform::saveWindowPng(stage, options_.framesDir + "/splash.png");
    }
    void transitionStep(HWND stage, int32_t frame, int32_t step) override {
        const int32_t next = shown_.load() + 1;
        if (options_.maxFrames > 0 && next > options_.maxFrames) return;
        log_.transitionStep(frame, step);
        if (!options_.steps) return;
        if (!options_.framesDir.empty() &&
            platform::saveWindowPng(stage, options_.framesDir + "/" + framePictureName(next, step)))
            steps_.fetch_add(1);
        if (!options_.contactSheet.empty())
            sheet_.add({next, step}, [stage] { return platform::captureWindow(stage); });
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
    // The first status that said the movie's server was never reached; 0 when none did.
    int32_t unreachable() const { return unreachable_.load(); }

private:
    EventLog& log_;
    const SessionOptions& options_;
    HANDLE done_;
    std::atomic<bool> completed_{false}, playing_{false}, splashSeen_{false};
    std::atomic<int32_t> shown_{0}, saved_{0}, steps_{0}, unreachable_{0};
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
    if (path.empty()) return path;
    std::error_code ec;
    const std::filesystem::path full = std::filesystem::absolute(path, ec);
    return ec ? path : full.string();
}

std::string folderOf(const std::string& path) {
    const size_t cut = path.find_last_of("/\\");
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
    const bool readable = remote || std::ifstream(local, std::ios::binary).is_open();
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

// The texts of the log's lines {"t":..,"<key>":"<text>"} from line `from` on: how the browser
// reports what it could not fetch (Browser::note).
std::vector<std::string> hostEntries(const EventLog& log, const std::string& key, size_t from) {
    const std::string mark = "\"" + key + "\":\"";
    const std::vector<std::string> lines = log.lines();
    std::vector<std::string> texts;
    for (size_t i = from; i < lines.size(); ++i) {
        const size_t at = lines[i].find(mark);
        if (at == std::string::npos) continue;
        std::string text;
        for (size_t k = at + mark.size(); k < lines[i].size() && lines[i][k] != '"'; ++k) {
            char c = lines[i][k];
            if (c == '\\' && k + 1 < lines[i].size()) {
                c = lines[i][++k];
                if (c == 'n' || c == 'r' || c == 't') c = ' ';
                if (c == 'u') {
                    k += 4; // a control character, written as \u00XX
                    c = ' ';
                }
            }
            text += c;
        }
        texts.push_back(text);
    }
    return texts;
}

bool isRemote(const std::string& address) {
    auto starts = [&](const char* scheme) {
        return strncasecmp(address.c_str(), scheme, std::strlen(scheme)) == 0;
    };
    return starts("qmsp:") || starts("http:");
}

// The address on an embed source's first line: up to the first control character, as the
// plug-in reads it.
std::string firstLine(const std::string& text) {
    size_t end = 0;
    while (end < text.size() && end < 1023 && static_cast<unsigned char>(text[end]) >= 0x20)
        ++end;
    return text.substr(0, end);
}

// "host:port" of a qmsp: or http: address; empty for another.
std::string serverOf(const std::string& address) {
    if (!isRemote(address)) return {};
    const bool http = strncasecmp(address.c_str(), "http:", 5) == 0;
    size_t at = address.find(':') + 1;
    while (at < address.size() && address[at] == '/')
        ++at;
    const std::string hostPort = address.substr(at, address.find('/', at) - at);
    if (hostPort.find(':') != std::string::npos) return hostPort;
    return hostPort + (http ? ":80" : ":537");
}

// The movie address the target leads to, when it can be told without the plug-in: the target
// itself, or the first line of an embed source.
std::string movieAddressOf(const std::string& target) {
    if (isRemote(target)) return target;
    const std::string path = localPath(target);
    const std::string start = readStart(path, 1024);
    return classifyTarget(target, start) == TargetKind::EmbedSource ? firstLine(start) : target;
}

// What the local file the plug-in was to play holds, when it is not a movie it could play: the
// target itself, or the movie an embed source names. Empty when there is nothing to say.
std::string explainLocalTarget(const std::string& target) {
    const std::string path = localPath(target);
    if (path.empty() || isRemote(target)) return {};
    // The movie's objects are read here with this program's own copy of the classes.
    registerPlayerClasses();
    const MovieCheck self = checkMovieFile(path);
    if (self.finding == MovieFinding::Folder || self.finding == MovieFinding::Missing)
        return self.sentence(target);
    const TargetKind kind = classifyTarget(target, readStart(path, 512));
    if (kind == TargetKind::Page) return {};
    if (kind == TargetKind::MovieAddress || self.finding != MovieFinding::Text)
        return self.finding == MovieFinding::Movie ? std::string() : self.sentence(target);
    // A text: an embed source, whose first line is the movie's address.
    const std::string address = firstLine(readStart(path, 1024));
    if (address.empty() || isRemote(address)) return self.movieSource ? self.sentence(target) : "";
    // As the plug-in reads it: file:/m.skm, file:///m.skm and file://m.skm all name /m.skm;
    // anything without a scheme is a path.
    std::string moviePath = address;
    if (strncasecmp(address.c_str(), "file:", 5) == 0) {
        const size_t from = address.find_first_not_of('/', 5);
        moviePath = "/" + (from == std::string::npos ? std::string() : address.substr(from));
    }
    std::error_code ec;
    if (std::filesystem::exists(moviePath, ec)) {
        const MovieCheck movie = checkMovieFile(moviePath);
        return movie.finding == MovieFinding::Movie ? std::string() : movie.sentence(address);
    }
    if (self.movieSource) return self.sentence(target);
    return target + " is an embed source naming the movie " + address + ", which does not exist";
}

} // namespace

SessionResult runSession(const SessionOptions& options) {
    SessionResult result;
    const bool headless = options.headless;
    if (headless) {
        SetEnvironmentVariableA("SKV_DISPLAY", "headless");
        platform::selectDisplay(platform::DisplayBackend::Headless);
        platform::setVirtualClock(true, 1000000);
    } else {
        std::string why;
        if (!platform::selectDisplay(platform::DisplayBackend::Sdl, &why))
            return refused(kNoWindow, "cannot open a window (" + why + "); run with --headless");
    }
    // Absolute, as the page written there names its embed source relative to its own folder.
    std::error_code tmpError;
    std::filesystem::path tmp = std::filesystem::temp_directory_path(tmpError);
    if (tmpError) tmp = "/tmp";
    const std::string work =
        absolutePath(options.workDir.empty()
                         ? (tmp / ("skvplay-" + std::to_string(GetCurrentProcessId()))).string()
                         : options.workDir);
    {
        std::error_code ec;
        if (std::filesystem::create_directory(work, ec))
            std::filesystem::permissions(work, std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::replace, ec);
    }
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
    int32_t embedsFailed = 0;
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
        const size_t linesBeforePage = log.lines().size();
        bool pageOpen = browser.openPage(embeds, base, &error);
        if (pageOpen) {
            // The browser fetched each embed's source as it made the instance; one it could not
            // fetch leaves its instance with nothing to play, and a page with nothing to play
            // has nothing to wait for.
            const std::vector<std::string> failed = hostEntries(log, "urlFailed", linesBeforePage);
            for (std::string why : failed) {
                // "ADDRESS: REASON", and the reason names the address again.
                const size_t cut = why.rfind(": ", why.find(' '));
                if (cut != std::string::npos &&
                    why.find(why.substr(0, cut), cut + 2) != std::string::npos)
                    why.erase(0, cut + 2);
                result.explanations.push_back("the page's embed source could not be fetched: " +
                                              why);
            }
            embedsFailed = static_cast<int32_t>(failed.size());
            const auto movies = std::count_if(embeds.begin(), embeds.end(), isMovieEmbed);
            if (embedsFailed >= movies) {
                browser.closePage();
                pageOpen = false;
            }
        } else {
            result.error = error;
            result.exitCode = 2;
        }
        if (pageOpen) {
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
                if (now - start >= limit) {
                    result.stoppedAtLimit = headless && options.seconds <= 0;
                    break;
                }
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
        for (const ContactSheet::Number& n : observer.sheet().numbers())
            result.sheetNumbers.push_back(n.text());
        result.sheetLeftOut = observer.sheet().leftOut();
    }
    CloseHandle(done);
    if (headless) platform::setVirtualClock(false);
    // The most particular reason first: an unreachable server also brings an error box, and an
    // embed without its source shows nothing.
    if (result.exitCode == kPlayed && embedsFailed > 0) result.exitCode = kEmbedNotFetched;
    if (result.exitCode == kPlayed && observer.unreachable() != 0) {
        const int32_t code = observer.unreachable();
        const std::string server = serverOf(movieAddressOf(options.target));
        const char* hint =
            code == static_cast<int32_t>(0x80000FB2)
                ? " (check the host name in the movie's address)"
            : code == static_cast<int32_t>(0x80000FB0) || code == static_cast<int32_t>(0x80000FB1)
                ? ""
                : " (is the server running? qmsd serves movies: see docs/qmsd.md)";
        result.explanations.push_back(
            "cannot reach " + (server.empty() ? "the movie's server" : "the server " + server) +
            ": " + unreachableWords(code) + hint);
        result.exitCode = kServerUnreachable;
    }
    if (result.exitCode == kPlayed && result.messageBoxes > 0) result.exitCode = kErrorBox;
    if (result.exitCode == kPlayed && result.framesShown == 0) {
        result.error = "no movie played: not one frame was shown";
        result.exitCode = kNothingShown;
    }
    // A local file that did not play: say what it holds, in words the plug-in's box has not.
    if (result.exitCode == kErrorBox || result.exitCode == kNothingShown) {
        const std::string words = explainLocalTarget(options.target);
        if (!words.empty()) result.explanations.push_back(words);
    }
    return result;
}

} // namespace skvplay
