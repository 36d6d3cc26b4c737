// Choosing and running the display backend; message boxes and beeps; the headless backend.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "display_backend.h"
#include "screen.h"
#include "wave_backend.h"

namespace skv::platform::display {

namespace {

class Headless final : public Backend {
public:
    DisplayBackend kind() const override { return DisplayBackend::Headless; }
    int messageBox(const MessageBoxRecord& box) override;
};

struct State {
    std::mutex mu;
    std::shared_ptr<Backend> backend; // callers keep it alive while they use it unlocked
    int answer = 0;
    std::vector<MessageBoxRecord> boxes;
    std::vector<UINT> beeps;
};

State& state() {
    static auto* s = new State; // lives as long as the process: threads may outlive main
    return *s;
}

// The buttons of each MB_ type, in order.
const std::vector<int>& buttonsOf(UINT type) {
    static const std::vector<int> lists[] = {
        {IDOK},        {IDOK, IDCANCEL},   {IDABORT, IDRETRY, IDIGNORE}, {IDYES, IDNO, IDCANCEL},
        {IDYES, IDNO}, {IDRETRY, IDCANCEL}};
    UINT t = type & MB_TYPEMASK;
    return lists[t < 6 ? t : 0];
}

int Headless::messageBox(const MessageBoxRecord& box) {
    int answer;
    {
        std::lock_guard<std::mutex> g(state().mu);
        answer = state().answer;
    }
    return isAnswerOf(box.type, answer) ? answer : defaultAnswer(box.type);
}

// Starts a backend (state lock held). SDL2 that cannot open leaves the display headless.
bool start(DisplayBackend kind, std::string* error) {
    State& s = state();
    s.backend.reset();
    if (kind == DisplayBackend::Sdl) {
        std::string why;
        s.backend = makeSdlBackend(&why);
        if (s.backend) return true;
        if (error) *error = why;
        s.backend = std::make_unique<Headless>();
        return false;
    }
    s.backend = std::make_unique<Headless>();
    return true;
}

DisplayBackend defaultKind() {
    if (const char* e = std::getenv("SKV_DISPLAY")) {
        if (std::strcmp(e, "sdl") == 0) return DisplayBackend::Sdl;
        if (std::strcmp(e, "headless") != 0)
            std::fprintf(stderr,
                         "skv: SKV_DISPLAY=%s is neither \"headless\" nor \"sdl\"; using the "
                         "headless display.\n",
                         e);
        return DisplayBackend::Headless;
    }
    const char* x = std::getenv("DISPLAY");
    const char* wl = std::getenv("WAYLAND_DISPLAY");
    return (x && *x) || (wl && *wl) ? DisplayBackend::Sdl : DisplayBackend::Headless;
}

std::shared_ptr<Backend> running() {
    State& s = state();
    if (!s.backend) {
        std::string why;
        DisplayBackend kind = defaultKind();
        if (!start(kind, &why))
            std::fprintf(stderr,
                         "skv: cannot open the SDL2 display (%s); using the headless display. Set "
                         "SKV_DISPLAY=headless to choose it without trying.\n",
                         why.c_str());
    }
    return s.backend;
}

} // namespace

void ensureBackend() {
    std::lock_guard<std::mutex> g(state().mu);
    running();
}

int defaultAnswer(UINT type) {
    const std::vector<int>& buttons = buttonsOf(type);
    size_t index = (type & MB_DEFMASK) >> 8;
    return buttons[index < buttons.size() ? index : 0];
}

bool isAnswerOf(UINT type, int answer) {
    const std::vector<int>& buttons = buttonsOf(type);
    return std::find(buttons.begin(), buttons.end(), answer) != buttons.end();
}

} // namespace skv::platform::display

namespace skv::platform {

using namespace display;

bool selectDisplay(DisplayBackend backend, std::string* error) {
    std::shared_ptr<Backend> old;
    bool ok;
    {
        std::lock_guard<std::mutex> g(state().mu);
        old = std::move(state().backend);
    }
    old.reset(); // an SDL2 backend joins its thread here, without our lock held
    {
        std::lock_guard<std::mutex> g(state().mu);
        ok = start(backend, error);
    }
    win::screenChanged();
    return ok;
}

DisplayBackend currentDisplay() {
    std::lock_guard<std::mutex> g(state().mu);
    return running()->kind();
}

void closeDisplay() {
    std::shared_ptr<Backend> old;
    {
        std::lock_guard<std::mutex> g(state().mu);
        old = std::move(state().backend);
    }
}

void pumpDisplay() {
    std::shared_ptr<Backend> b;
    {
        std::lock_guard<std::mutex> g(state().mu);
        b = running();
    }
    b->pump();
}

bool displayWindowPosition(int* x, int* y) {
    std::lock_guard<std::mutex> g(state().mu);
    return state().backend && state().backend->windowPosition(x, y);
}

bool saveScreenPng(const std::string& path, std::string* error) {
    return writePng(captureScreen(), path, error);
}

bool saveWindowPng(HWND window, const std::string& path, std::string* error) {
    Image img = captureWindow(window);
    if (img.width == 0 && !IsWindow(window)) {
        if (error) *error = "not a window: pass the handle of a window that exists";
        return false;
    }
    return writePng(img, path, error);
}

void setMessageBoxAnswer(int answer) {
    std::lock_guard<std::mutex> g(state().mu);
    state().answer = answer;
}

std::vector<MessageBoxRecord> messageBoxes() {
    std::lock_guard<std::mutex> g(state().mu);
    return state().boxes;
}

std::vector<UINT> messageBeeps() {
    std::lock_guard<std::mutex> g(state().mu);
    return state().beeps;
}

void clearMessageBoxes() {
    std::lock_guard<std::mutex> g(state().mu);
    state().boxes.clear();
    state().beeps.clear();
}

} // namespace skv::platform

using namespace skv::platform::display;

extern "C" {

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    skv::platform::MessageBoxRecord box{owner, text ? text : "", caption ? caption : "Error", type,
                                        0};
    std::shared_ptr<Backend> b;
    {
        std::lock_guard<std::mutex> g(state().mu);
        b = running();
    }
    // Not under our lock: a real dialog waits for a person.
    box.answer = b->messageBox(box);
    std::lock_guard<std::mutex> g(state().mu);
    state().boxes.push_back(box);
    return box.answer;
}

BOOL MessageBeep(UINT type) {
    {
        std::lock_guard<std::mutex> g(state().mu);
        state().beeps.push_back(type);
    }
    skv::platform::wave::beep(type);
    return TRUE;
}

} // extern "C"
