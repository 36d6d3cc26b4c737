// The SDL2 backend: a window showing the screen at 1:1, on a thread of its own that owns every
// SDL call. It turns the window's mouse and key events into input, shows the screen again
// whenever it changed, follows SetCursor, and shows message boxes as SDL dialogs.
#include <SDL.h>

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <map>
#include <thread>

#include "display_backend.h"
#include "screen.h"

namespace skv::platform::display {

namespace {

int virtualKeyOf(SDL_Keycode k) {
    if (k >= SDLK_a && k <= SDLK_z) return 'A' + (k - SDLK_a);
    if (k >= SDLK_0 && k <= SDLK_9) return '0' + (k - SDLK_0);
    if (k >= SDLK_F1 && k <= SDLK_F12) return VK_F1 + (k - SDLK_F1);
    switch (k) {
    case SDLK_RETURN:
    case SDLK_KP_ENTER:
        return VK_RETURN;
    case SDLK_ESCAPE:
        return VK_ESCAPE;
    case SDLK_BACKSPACE:
        return VK_BACK;
    case SDLK_TAB:
        return VK_TAB;
    case SDLK_SPACE:
        return VK_SPACE;
    case SDLK_LEFT:
        return VK_LEFT;
    case SDLK_RIGHT:
        return VK_RIGHT;
    case SDLK_UP:
        return VK_UP;
    case SDLK_DOWN:
        return VK_DOWN;
    case SDLK_HOME:
        return VK_HOME;
    case SDLK_END:
        return VK_END;
    case SDLK_PAGEUP:
        return VK_PRIOR;
    case SDLK_PAGEDOWN:
        return VK_NEXT;
    case SDLK_INSERT:
        return VK_INSERT;
    case SDLK_DELETE:
        return VK_DELETE;
    case SDLK_LSHIFT:
    case SDLK_RSHIFT:
        return VK_SHIFT;
    case SDLK_LCTRL:
    case SDLK_RCTRL:
        return VK_CONTROL;
    case SDLK_LALT:
    case SDLK_RALT:
        return VK_MENU;
    default:
        return 0;
    }
}

struct BoxRequest {
    const MessageBoxRecord* box;
    int answer = 0;
    bool done = false;
};

class Sdl final : public Backend {
public:
    bool start(std::string* error) {
        thread_ = std::thread([this] { run(); });
        std::unique_lock<std::mutex> lk(mu_);
        cv_.wait(lk, [&] { return started_; });
        if (!startError_.empty()) {
            lk.unlock();
            thread_.join();
            if (error) *error = startError_;
            return false;
        }
        return true;
    }

    ~Sdl() override {
        {
            std::lock_guard<std::mutex> g(mu_);
            stop_ = true;
        }
        if (thread_.joinable()) thread_.join();
    }

    DisplayBackend kind() const override { return DisplayBackend::Sdl; }

    void pump() override {
        std::unique_lock<std::mutex> lk(mu_);
        const uint64_t ticket = ++pumpAsked_;
        cv_.wait(lk, [&] { return pumpDone_ >= ticket || stopped_; });
    }

    int messageBox(const MessageBoxRecord& box) override {
        BoxRequest request{&box};
        std::unique_lock<std::mutex> lk(mu_);
        if (stopped_) return 0;
        boxes_.push_back(&request);
        cv_.wait(lk, [&] { return request.done || stopped_; });
        if (!request.done) {
            boxes_.erase(std::remove(boxes_.begin(), boxes_.end(), &request), boxes_.end());
            return 0;
        }
        return request.answer;
    }

    bool windowPosition(int* x, int* y) override {
        std::lock_guard<std::mutex> g(mu_);
        *x = windowX_;
        *y = windowY_;
        return true;
    }

private:
    void run() {
        SIZE size = screenSize();
        SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
            fail(SDL_GetError());
            return;
        }
        window_ = SDL_CreateWindow("Skyvora", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED,
                                   size.cx, size.cy, SDL_WINDOW_SHOWN);
        if (!window_) {
            fail(SDL_GetError());
            SDL_QuitSubSystem(SDL_INIT_VIDEO);
            return;
        }
        {
            std::lock_guard<std::mutex> g(mu_);
            SDL_GetWindowPosition(window_, &windowX_, &windowY_);
            started_ = true;
        }
        cv_.notify_all();
        loop();
        for (auto& [id, c] : systemCursors_)
            SDL_FreeCursor(c);
        if (customCursor_) SDL_FreeCursor(customCursor_);
        SDL_DestroyWindow(window_);
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        {
            std::lock_guard<std::mutex> g(mu_);
            stopped_ = true;
        }
        cv_.notify_all();
    }

    void fail(const char* why) {
        std::lock_guard<std::mutex> g(mu_);
        startError_ = why && *why ? why : "SDL could not start its video subsystem";
        started_ = true;
        stopped_ = true;
        cv_.notify_all();
    }

    void loop() {
        uint64_t shown = 0;
        for (;;) {
            uint64_t asked;
            {
                // Read before polling: a pump answered by this pass saw every event it asked for.
                std::lock_guard<std::mutex> g(mu_);
                asked = pumpAsked_;
            }
            SDL_Event e;
            if (SDL_WaitEventTimeout(&e, 10)) {
                handle(e);
                while (SDL_PollEvent(&e))
                    handle(e);
            }
            BoxRequest* box = nullptr;
            {
                std::lock_guard<std::mutex> g(mu_);
                if (stop_) return;
                if (!boxes_.empty()) box = boxes_.front();
                SDL_GetWindowPosition(window_, &windowX_, &windowY_);
            }
            if (box) showBox(*box);
            followMove();
            followCursor();
            const uint64_t generation = win::screenGeneration();
            if (generation != shown || exposed_) {
                present();
                shown = generation;
                exposed_ = false;
            }
            if (asked) {
                std::lock_guard<std::mutex> g(mu_);
                pumpDone_ = asked;
            }
            cv_.notify_all();
        }
    }

    void handle(const SDL_Event& e) {
        switch (e.type) {
        case SDL_MOUSEMOTION:
            injectMouseMove(e.motion.x, e.motion.y);
            break;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP: {
            MouseButton b = e.button.button == SDL_BUTTON_RIGHT    ? MouseButton::Right
                            : e.button.button == SDL_BUTTON_MIDDLE ? MouseButton::Middle
                                                                   : MouseButton::Left;
            injectMouseButton(b, e.type == SDL_MOUSEBUTTONDOWN, e.button.x, e.button.y);
            break;
        }
        case SDL_KEYDOWN:
        case SDL_KEYUP:
            if (int vk = virtualKeyOf(e.key.keysym.sym)) injectKey(vk, e.type == SDL_KEYDOWN);
            break;
        case SDL_WINDOWEVENT:
            if (e.window.event == SDL_WINDOWEVENT_EXPOSED) exposed_ = true;
            break;
        case SDL_QUIT:
            // The person closed the screen: every top-level window is asked to close.
            win::postToTopLevel(WM_CLOSE, 0, 0);
            break;
        default:
            break;
        }
    }

    void present() {
        Image img = captureScreen();
        int w = 0, h = 0;
        SDL_GetWindowSize(window_, &w, &h);
        if (w != img.width || h != img.height) resize(img.width, img.height);
        SDL_Surface* target = SDL_GetWindowSurface(window_);
        if (!target) return;
        SDL_Surface* source = SDL_CreateRGBSurfaceWithFormatFrom(
            img.pixels.data(), img.width, img.height, 32, img.width * 4, SDL_PIXELFORMAT_RGB888);
        if (!source) return;
        SDL_BlitSurface(source, nullptr, target, nullptr);
        SDL_FreeSurface(source);
        SDL_UpdateWindowSurface(window_);
    }

    // The screen changed size (a program sized it to what it shows): the window follows at 1:1.
    // A window that no longer fits the desktop where it is, as one opened centred at a larger
    // size and then shrunk would not, is centred again; one that fits stays where it is, as the
    // person may have put it there.
    void resize(int width, int height) {
        SDL_SetWindowSize(window_, width, height);
        const int display = SDL_GetWindowDisplayIndex(window_);
        SDL_Rect bounds;
        if (display < 0 || SDL_GetDisplayUsableBounds(display, &bounds) != 0) return;
        int x = 0, y = 0;
        SDL_GetWindowPosition(window_, &x, &y);
        if (x >= bounds.x && y >= bounds.y && x + width <= bounds.x + bounds.w &&
            y + height <= bounds.y + bounds.h)
            return;
        moveTo_ = SDL_Point{bounds.x + std::max(0, (bounds.w - width) / 2),
                            bounds.y + std::max(0, (bounds.h - height) / 2)};
        moveTries_ = kMoveTries;
        moveSeen_ = 0;
        SDL_SetWindowPosition(window_, moveTo_.x, moveTo_.y);
    }

    // X11 can lose a move made while the window is still being mapped, and SDL reports where it
    // asked the window to go until the server's answer says otherwise: the move is asked again
    // on the next passes until the window has been seen there for a few passes in a row.
    void followMove() {
        if (moveTries_ == 0) return;
        --moveTries_;
        int x = 0, y = 0;
        SDL_GetWindowPosition(window_, &x, &y);
        if (x == moveTo_.x && y == moveTo_.y) {
            if (++moveSeen_ >= kMoveSeen) moveTries_ = 0;
            return;
        }
        moveSeen_ = 0;
        SDL_SetWindowPosition(window_, moveTo_.x, moveTo_.y);
    }

    void showBox(BoxRequest& request) {
        const MessageBoxRecord& box = *request.box;
        static const char* names[] = {"", "OK", "Cancel", "Abort", "Retry", "Ignore", "Yes", "No"};
        std::vector<SDL_MessageBoxButtonData> buttons;
        const int defaultButton = defaultAnswer(box.type);
        for (int id = IDOK; id <= IDNO; ++id) {
            if (!isAnswerOf(box.type, id)) continue;
            Uint32 flags = 0;
            if (id == defaultButton) flags |= SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT;
            if (id == IDCANCEL || (id == IDNO && !isAnswerOf(box.type, IDCANCEL)) ||
                (id == IDOK && !isAnswerOf(box.type, IDCANCEL)))
                flags |= SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT;
            buttons.push_back(SDL_MessageBoxButtonData{flags, id, names[id]});
        }
        // Windows lays the buttons out in the order of the type; SDL lays them out reversed on
        // some systems, which only changes where they sit.
        const UINT icon = box.type & MB_ICONMASK;
        SDL_MessageBoxData data{};
        data.flags = icon == MB_ICONHAND          ? SDL_MESSAGEBOX_ERROR
                     : icon == MB_ICONEXCLAMATION ? SDL_MESSAGEBOX_WARNING
                                                  : SDL_MESSAGEBOX_INFORMATION;
        data.window = window_;
        data.title = box.caption.c_str();
        data.message = box.text.c_str();
        data.numbuttons = static_cast<int>(buttons.size());
        data.buttons = buttons.data();
        int chosen = 0;
        if (SDL_ShowMessageBox(&data, &chosen) != 0) chosen = 0;
        if (chosen < 0) chosen = isAnswerOf(box.type, IDCANCEL) ? IDCANCEL : defaultButton;
        std::lock_guard<std::mutex> g(mu_);
        request.answer = chosen;
        request.done = true;
        boxes_.erase(std::remove(boxes_.begin(), boxes_.end(), &request), boxes_.end());
    }

    void followCursor() {
        HCURSOR cursor = win::currentCursorHandle();
        if (cursor == shownCursor_ && cursorKnown_) return;
        shownCursor_ = cursor;
        cursorKnown_ = true;
        int systemId, w, h, hotX, hotY;
        std::vector<uint8_t> andPlane, xorPlane;
        if (!cursor ||
            !win::cursorShape(cursor, &systemId, &w, &h, &hotX, &hotY, &andPlane, &xorPlane)) {
            SDL_ShowCursor(SDL_DISABLE);
            return;
        }
        SDL_ShowCursor(SDL_ENABLE);
        if (systemId) {
            SDL_SystemCursor id = systemId == 32513   ? SDL_SYSTEM_CURSOR_IBEAM
                                  : systemId == 32514 ? SDL_SYSTEM_CURSOR_WAIT
                                  : systemId == 32515 ? SDL_SYSTEM_CURSOR_CROSSHAIR
                                  : systemId == 32648 ? SDL_SYSTEM_CURSOR_NO
                                  : systemId == 32649 ? SDL_SYSTEM_CURSOR_HAND
                                                      : SDL_SYSTEM_CURSOR_ARROW;
            SDL_Cursor*& c = systemCursors_[id];
            if (!c) c = SDL_CreateSystemCursor(id);
            if (c) SDL_SetCursor(c);
            return;
        }
        // Monochrome planes: AND 1 keeps the screen, else XOR chooses black or white.
        std::vector<uint32_t> argb(static_cast<size_t>(w) * h);
        const int rowBytes = (w + 15) / 16 * 2;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const int byte = y * rowBytes + x / 8, bit = 0x80 >> (x % 8);
                const bool a = andPlane[byte] & bit, b = xorPlane[byte] & bit;
                argb[static_cast<size_t>(y) * w + x] =
                    a && !b ? 0x00000000u : (b ? 0xFFFFFFFFu : 0xFF000000u);
            }
        SDL_Surface* s = SDL_CreateRGBSurfaceWithFormatFrom(argb.data(), w, h, 32, w * 4,
                                                            SDL_PIXELFORMAT_ARGB8888);
        if (!s) return;
        SDL_Cursor* c = SDL_CreateColorCursor(s, hotX, hotY);
        SDL_FreeSurface(s);
        if (!c) return;
        SDL_SetCursor(c);
        if (customCursor_) SDL_FreeCursor(customCursor_);
        customCursor_ = c;
    }

    std::thread thread_;
    std::mutex mu_;
    std::condition_variable cv_;
    // Guarded by mu_.
    bool started_ = false;
    bool stop_ = false;
    bool stopped_ = false;
    std::string startError_;
    uint64_t pumpAsked_ = 0;
    uint64_t pumpDone_ = 0;
    std::deque<BoxRequest*> boxes_;
    int windowX_ = 0, windowY_ = 0;
    // The SDL thread's own.
    SDL_Window* window_ = nullptr;
    bool exposed_ = false;
    static constexpr int kMoveTries = 100, kMoveSeen = 5;
    SDL_Point moveTo_{0, 0};
    int moveTries_ = 0, moveSeen_ = 0;
    HCURSOR shownCursor_ = nullptr;
    bool cursorKnown_ = false;
    std::map<SDL_SystemCursor, SDL_Cursor*> systemCursors_;
    SDL_Cursor* customCursor_ = nullptr;
};

} // namespace

std::unique_ptr<Backend> makeSdlBackend(std::string* error) {
    auto b = std::make_unique<Sdl>();
    if (!b->start(error)) return nullptr;
    return b;
}

} // namespace skv::platform::display
