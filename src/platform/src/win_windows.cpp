// Windows: classes, creation and destruction, the tree and geometry.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>
#include <unordered_map>

#include "display_backend.h"
#include "platform/display.h"
#include "platform/wingdi.h"
#include "screen.h"
#include "win_core.h"

namespace skv::platform::win {

namespace {

constexpr uintptr_t kFirstHandle = 0x20000000;
constexpr uintptr_t kDesktopHandle = kFirstHandle;

std::string lower(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

struct WindowManager {
    std::mutex mu;
    std::unordered_map<uintptr_t, std::shared_ptr<Window>> windows;
    uintptr_t nextHandle = kFirstHandle + 4;
    std::map<std::string, std::shared_ptr<WindowClass>> classes;       // registered
    std::map<std::string, std::shared_ptr<WindowClass>> systemClasses; // "button", "static"
    std::map<ATOM, std::shared_ptr<WindowClass>> atoms;
    ATOM nextAtom = 0xC000;
    std::shared_ptr<Window> desktop;
};

WindowManager& wm() {
    static WindowManager* m = [] {
        auto* w = new WindowManager; // lives as long as the process: threads may outlive main
        auto addSystem = [&](const char* name, WNDPROC proc, UINT style) {
            auto c = std::make_shared<WindowClass>();
            c->name = name;
            c->key = lower(name);
            c->proc = proc;
            c->style = style;
            c->system = true;
            c->cursor = LoadCursorA(nullptr, IDC_ARROW);
            w->systemClasses[c->key] = c;
        };
        addSystem("BUTTON", buttonProc, CS_DBLCLKS | CS_PARENTDC | CS_HREDRAW | CS_VREDRAW);
        addSystem("STATIC", staticProc, CS_PARENTDC);
        auto d = std::make_shared<Window>();
        d->handle = reinterpret_cast<HWND>(kDesktopHandle);
        d->style = WS_VISIBLE | WS_CLIPCHILDREN;
        SIZE s = skv::platform::screenSize();
        d->rect = RECT{0, 0, s.cx, s.cy};
        w->windows[kDesktopHandle] = d;
        w->desktop = d;
        return w;
    }();
    return *m;
}

std::shared_ptr<WindowClass> findClass(LPCSTR name) {
    WindowManager& m = wm();
    if (!name) return nullptr;
    if (IS_INTRESOURCE(name)) {
        auto it = m.atoms.find(static_cast<ATOM>(reinterpret_cast<uintptr_t>(name)));
        return it == m.atoms.end() ? nullptr : it->second;
    }
    std::string key = lower(name);
    auto it = m.classes.find(key);
    if (it != m.classes.end()) return it->second;
    auto sit = m.systemClasses.find(key);
    return sit == m.systemClasses.end() ? nullptr : sit->second;
}

// Takes a window out of the tree and the table (window-manager lock held).
void unlink(Window* w) {
    if (w->parent) {
        auto& siblings = w->parent->children;
        siblings.erase(std::remove(siblings.begin(), siblings.end(), w), siblings.end());
        w->parent = nullptr;
    }
}

// The windows of a subtree, children before their parents.
void postOrder(Window* w, std::vector<Window*>& out) {
    for (Window* c : w->children)
        postOrder(c, out);
    out.push_back(w);
}

// Takes the windows of a subtree out for good (window-manager lock held); their queues forget
// them (scheduler lock taken here).
void removeSubtree(Window* root) {
    WindowManager& m = wm();
    std::vector<Window*> gone;
    postOrder(root, gone);
    unlink(root);
    std::vector<std::shared_ptr<Window>> keep; // destroyed once the locks are given up
    {
        kernel::Lock lk = kernel::lockScheduler();
        for (Window* w : gone) {
            if (w->queue) forgetWindowMessages(*w->queue, w->handle);
        }
    }
    for (Window* w : gone) {
        w->children.clear();
        if (w->cls) w->cls->windows--;
        auto it = m.windows.find(reinterpret_cast<uintptr_t>(w->handle));
        if (it != m.windows.end()) {
            keep.push_back(std::move(it->second));
            m.windows.erase(it);
        }
    }
    forgetInputState(gone);
    screenChanged();
    // `keep` goes out of scope here, with the lock still held by the caller: a Window holds
    // nothing that takes a lock when destroyed.
}

bool sameThread(const Window* w) {
    return w->threadId == GetCurrentThreadId();
}

// Places `w` in its parent's z-order.
void placeInZOrder(Window* w, HWND insertAfter) {
    auto& siblings = w->parent->children;
    auto remove = [&] {
        siblings.erase(std::remove(siblings.begin(), siblings.end(), w), siblings.end());
    };
    if (insertAfter == HWND_TOP || insertAfter == HWND_TOPMOST || insertAfter == HWND_NOTOPMOST) {
        remove();
        siblings.insert(siblings.begin(), w);
    } else if (insertAfter == HWND_BOTTOM) {
        remove();
        siblings.push_back(w);
    } else {
        Window* after = findWindow(insertAfter);
        if (!after || after == w || after->parent != w->parent) return; // not a sibling
        remove();
        auto it = std::find(siblings.begin(), siblings.end(), after);
        siblings.insert(it + 1, w);
    }
}

} // namespace

std::mutex& wmMutex() {
    return wm().mu;
}

Window* findWindow(HWND h) {
    WindowManager& m = wm();
    auto it = m.windows.find(reinterpret_cast<uintptr_t>(h));
    return it == m.windows.end() ? nullptr : it->second.get();
}

Window& desktopWindow() {
    return *wm().desktop;
}

bool isDescendant(const Window* ancestor, const Window* w) {
    for (const Window* p = w ? w->parent : nullptr; p; p = p->parent)
        if (p == ancestor) return true;
    return false;
}

bool visibleOnScreen(const Window* w) {
    for (; w; w = w->parent)
        if (!(w->style & WS_VISIBLE)) return false;
    return true;
}

POINT clientOrigin(const Window* w) {
    POINT p{0, 0};
    for (; w && w->parent; w = w->parent) {
        p.x += w->rect.left;
        p.y += w->rect.top;
    }
    return p;
}

Window* windowAt(POINT screen) {
    Window* found = &desktopWindow();
    POINT origin{0, 0};
    for (bool descended = true; descended;) {
        descended = false;
        for (Window* c : found->children) {
            if (!(c->style & WS_VISIBLE)) continue;
            RECT r = c->rect;
            OffsetRect(&r, origin.x, origin.y);
            if (PtInRect(&r, screen)) {
                origin.x = r.left;
                origin.y = r.top;
                found = c;
                descended = true;
                break;
            }
        }
    }
    return found;
}

void destroyThreadWindows(DWORD threadId) {
    std::lock_guard<std::mutex> g(wmMutex());
    for (;;) {
        Window* root = nullptr;
        for (auto& [h, w] : wm().windows)
            if (w->threadId == threadId && w->parent && w->parent->threadId != threadId) {
                root = w.get();
                break;
            }
        if (!root) {
            for (auto& [h, w] : wm().windows)
                if (w->threadId == threadId && w.get() != wm().desktop.get()) {
                    root = w.get();
                    break;
                }
        }
        if (!root) return;
        removeSubtree(root);
    }
}

gdi::Picture* windowPicture(HWND window) {
    Window* w = findWindow(window);
    if (!w || w == &desktopWindow()) return nullptr;
    return &w->picture;
}

} // namespace skv::platform::win

using namespace skv::platform::win;
namespace gdi = skv::platform::gdi;

extern "C" {

// ---- classes ---------------------------------------------------------------------------------

ATOM RegisterClassA(const WNDCLASSA* wndClass) {
    if (!wndClass || !wndClass->lpfnWndProc || !wndClass->lpszClassName ||
        IS_INTRESOURCE(wndClass->lpszClassName) || wndClass->cbWndExtra < 0 ||
        wndClass->cbWndExtra > 4096) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    auto c = std::make_shared<WindowClass>();
    c->name = wndClass->lpszClassName;
    c->key = lower(c->name);
    c->style = wndClass->style;
    c->proc = wndClass->lpfnWndProc;
    c->wndExtra = wndClass->cbWndExtra;
    c->instance = wndClass->hInstance;
    c->cursor = wndClass->hCursor;
    c->background = wndClass->hbrBackground;
    std::lock_guard<std::mutex> g(wmMutex());
    WindowManager& m = wm();
    if (m.classes.count(c->key)) {
        SetLastError(ERROR_CLASS_ALREADY_EXISTS);
        return 0;
    }
    ATOM atom = m.nextAtom++;
    m.classes[c->key] = c;
    m.atoms[atom] = c;
    return atom;
}

BOOL UnregisterClassA(LPCSTR className, HINSTANCE instance) {
    std::lock_guard<std::mutex> g(wmMutex());
    WindowManager& m = wm();
    auto c = findClass(className);
    if (!c || c->system) {
        SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
        return FALSE;
    }
    if (c->windows > 0) {
        SetLastError(ERROR_CLASS_HAS_WINDOWS);
        return FALSE;
    }
    m.classes.erase(c->key);
    std::erase_if(m.atoms, [&](const auto& e) { return e.second == c; });
    return TRUE;
}

BOOL GetClassInfoA(HINSTANCE instance, LPCSTR className, LPWNDCLASSA wndClass) {
    std::lock_guard<std::mutex> g(wmMutex());
    auto c = findClass(className);
    if (!c || !wndClass) {
        SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
        return FALSE;
    }
    *wndClass = WNDCLASSA{};
    wndClass->style = c->style;
    wndClass->lpfnWndProc = c->proc;
    wndClass->cbWndExtra = c->wndExtra;
    wndClass->hInstance = c->instance;
    wndClass->hCursor = c->cursor;
    wndClass->hbrBackground = c->background;
    wndClass->lpszClassName = className;
    return TRUE;
}

int GetClassNameA(HWND window, LPSTR name, int size) {
    std::lock_guard<std::mutex> g(wmMutex());
    Window* w = findWindow(window);
    if (!w || !w->cls || !name || size <= 0) return 0;
    int n = std::min<int>(size - 1, static_cast<int>(w->cls->name.size()));
    std::memcpy(name, w->cls->name.data(), n);
    name[n] = 0;
    return n;
}

// ---- creation and destruction ----------------------------------------------------------------

HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y,
                     int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                     LPVOID param) {
    if (x == CW_USEDEFAULT) x = y = 0;
    if (width == CW_USEDEFAULT) width = 320, height = 240;
    width = std::max(width, 0);
    height = std::max(height, 0);
    skv::platform::display::ensureBackend(); // the first window brings the display up
    std::shared_ptr<MessageQueue> queue = currentQueue();
    HWND handle;
    {
        std::lock_guard<std::mutex> g(wmMutex());
        WindowManager& m = wm();
        auto cls = findClass(className);
        if (!cls) {
            SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
            return nullptr;
        }
        Window* parentWindow = parent ? findWindow(parent) : nullptr;
        if (parent && !parentWindow) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return nullptr;
        }
        if ((style & WS_CHILD) && !parentWindow) {
            SetLastError(ERROR_TLW_WITH_WSCHILD);
            return nullptr;
        }
        // A popup or overlapped window's "parent" is its owner: it is still top-level.
        if (!(style & WS_CHILD)) parentWindow = &desktopWindow();
        auto w = std::make_shared<Window>();
        w->handle = reinterpret_cast<HWND>(m.nextHandle);
        m.nextHandle += 4;
        w->cls = cls;
        w->title = windowName ? windowName : "";
        w->style = style & ~static_cast<DWORD>(WS_VISIBLE); // shown once created
        w->exStyle = exStyle;
        w->proc = cls->proc;
        w->id = (style & WS_CHILD) ? reinterpret_cast<LONG_PTR>(menu) : 0;
        w->instance = instance;
        w->extra.assign(cls->wndExtra, 0);
        w->rect = RECT{x, y, x + width, y + height};
        w->threadId = GetCurrentThreadId();
        w->queue = queue;
        w->parent = parentWindow;
        parentWindow->children.insert(parentWindow->children.begin(), w.get());
        w->picture.resize(width, height, 0);
        cls->windows++;
        handle = w->handle;
        m.windows[reinterpret_cast<uintptr_t>(handle)] = std::move(w);
    }
    CREATESTRUCTA cs{
        param,      instance,  menu,   parent, height, width, y, x, static_cast<LONG>(style),
        windowName, className, exStyle};
    if (!SendMessageA(handle, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&cs))) {
        std::lock_guard<std::mutex> g(wmMutex());
        if (Window* w = findWindow(handle)) removeSubtree(w);
        return nullptr;
    }
    if (SendMessageA(handle, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
        DestroyWindow(handle);
        return nullptr;
    }
    if (!IsWindow(handle)) return nullptr; // destroyed while being created
    SendMessageA(handle, WM_SIZE, SIZE_RESTORED, MAKELPARAM(width, height));
    SendMessageA(handle, WM_MOVE, 0, MAKELPARAM(x, y));
    if (style & WS_VISIBLE) ShowWindow(handle, SW_SHOW);
    return handle;
}

BOOL DestroyWindow(HWND window) {
    std::vector<HWND> subtree; // parents before children
    {
        std::lock_guard<std::mutex> g(wmMutex());
        Window* w = findWindow(window);
        if (!w || w == &desktopWindow()) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        if (!sameThread(w)) {
            SetLastError(ERROR_ACCESS_DENIED);
            return FALSE;
        }
        if (w->destroying) return TRUE;
        std::vector<Window*> order;
        postOrder(w, order);
        for (auto it = order.rbegin(); it != order.rend(); ++it) {
            (*it)->destroying = true;
            subtree.push_back((*it)->handle);
        }
        if (w->style & WS_VISIBLE) {
            w->style &= ~static_cast<DWORD>(WS_VISIBLE);
            screenChanged();
        }
    }
    loseInputState(subtree);
    for (HWND h : subtree)
        SendMessageA(h, WM_DESTROY, 0, 0);
    for (auto it = subtree.rbegin(); it != subtree.rend(); ++it)
        SendMessageA(*it, WM_NCDESTROY, 0, 0);
    std::lock_guard<std::mutex> g(wmMutex());
    if (Window* w = findWindow(window)) removeSubtree(w);
    return TRUE;
}

BOOL IsWindow(HWND window) {
    std::lock_guard<std::mutex> g(wmMutex());
    return findWindow(window) ? TRUE : FALSE;
}

BOOL IsChild(HWND parent, HWND window) {
    std::lock_guard<std::mutex> g(wmMutex());
    Window* p = findWindow(parent);
    Window* w = findWindow(window);
    if (!p || !w || p == &desktopWindow()) return FALSE;
    // Only through child windows: a top-level window is nobody's child.
    for (Window* c = w; c->parent && (c->style & WS_CHILD); c = c->parent)
        if (c->parent == p) return TRUE;
    return FALSE;
}

BOOL IsWindowVisible(HWND window) {
    std::lock_guard<std::mutex> g(wmMutex());
    Window* w = findWindow(window);
    return w && visibleOnScreen(w) ? TRUE : FALSE;
}

HWND GetParent(HWND window) {
    std::lock_guard<std::mutex> g(wmMutex());
    Window* w = findWindow(window);
    if (!w || !w->parent || w->parent == &desktopWindow()) return nullptr;
    return w->parent->handle;
}

HWND GetAncestor(HWND window, UINT flags) {
    std::lock_guard<std::mutex> g(wmMutex());
    Window* w = findWindow(window);
    if (!w || w == &desktopWindow()) return nullptr;
    if (flags == GA_PARENT) return w->parent ? w->parent->handle : nullptr;
    while (w->parent && w->parent != &desktopWindow())
        w = w->parent;
    return w->handle;
}

HWND GetDesktopWindow(void) {
    return reinterpret_cast<HWND>(kDesktopHandle);
}

HWND SetParent(HWND window, HWND newParent) {
    std::lock_guard<std::mutex> g(wmMutex());
    Window* w = findWindow(window);
    Window* p = newParent ? findWindow(newParent) : &desktopWindow();
    if (!w || !p || w == &desktopWindow()) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    if (p == w || isDescendant(w, p)) {
        SetLastError(ERROR_INVALID_PARAMETER); // would make a loop
        return nullptr;
    }
    HWND previous =
        w->parent && w->parent != &desktopWindow() ? w->parent->handle : GetDesktopWindow();
    unlink(w);
    w->parent = p;
    p->children.insert(p->children.begin(), w);
    screenChanged();
    return previous;
}

DWORD GetWindowThreadProcessId(HWND window, DWORD* processId) {
    std::lock_guard<std::mutex> g(wmMutex());
    Window* w = findWindow(window);
    if (processId) *processId = w ? 1 : 0;
    return w ? w->threadId : 0;
}

// ---- geometry --------------------------------------------------------------------------------

BOOL AdjustWindowRectEx(RECT* rect, DWORD, BOOL, DWORD) {
    if (!rect) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return TRUE;
}

BOOL SetWindowPos(HWND window, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
    WINDOWPOS wp{window, insertAfter, x, y, std::max(cx, 0), std::max(cy, 0), flags};
    {
        std::lock_guard<std::mutex> g(wmMutex());
        Window* w = findWindow(window);
        if (!w || w == &desktopWindow()) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        if (flags & SWP_NOMOVE) wp.x = w->rect.left, wp.y = w->rect.top;
        if (flags & SWP_NOSIZE) wp.cx = w->width(), wp.cy = w->height();
    }
    if (!(flags & SWP_NOSENDCHANGING))
        SendMessageA(window, WM_WINDOWPOSCHANGING, 0, reinterpret_cast<LPARAM>(&wp));
    bool shown = false;
    {
        std::lock_guard<std::mutex> g(wmMutex());
        Window* w = findWindow(window);
        if (!w) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        const bool moved = wp.x != w->rect.left || wp.y != w->rect.top;
        const bool sized = wp.cx != w->width() || wp.cy != w->height();
        w->rect = RECT{wp.x, wp.y, wp.x + wp.cx, wp.y + wp.cy};
        if (sized) w->picture.resize(wp.cx, wp.cy, 0);
        if (!(wp.flags & SWP_NOZORDER)) placeInZOrder(w, wp.hwndInsertAfter);
        if ((wp.flags & SWP_SHOWWINDOW) && !(w->style & WS_VISIBLE)) {
            w->style |= WS_VISIBLE;
            shown = true;
        }
        if (wp.flags & SWP_HIDEWINDOW) w->style &= ~static_cast<DWORD>(WS_VISIBLE);
        // A plain move keeps the picture; anything else asks for painting.
        if (((sized || (wp.flags & SWP_NOCOPYBITS)) && !(wp.flags & SWP_NOREDRAW)) || shown)
            invalidate(w, nullptr, true);
        if (!moved) wp.flags |= SWP_NOMOVE;
        if (!sized) wp.flags |= SWP_NOSIZE;
        screenChanged();
    }
    SendMessageA(window, WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&wp));
    return TRUE;
}

BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint) {
    return SetWindowPos(window, nullptr, x, y, width, height,
                        SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0 : SWP_NOREDRAW));
}

BOOL ShowWindow(HWND window, int command) {
    bool wasVisible, topLevel;
    {
        std::lock_guard<std::mutex> g(wmMutex());
        Window* w = findWindow(window);
        if (!w || w == &desktopWindow()) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        wasVisible = (w->style & WS_VISIBLE) != 0;
        topLevel = w->parent == &desktopWindow();
    }
    const bool show = command != SW_HIDE;
    if (show != wasVisible) {
        SendMessageA(window, WM_SHOWWINDOW, show ? TRUE : FALSE, 0);
        std::lock_guard<std::mutex> g(wmMutex());
        if (Window* w = findWindow(window)) {
            if (show) {
                w->style |= WS_VISIBLE;
                invalidate(w, nullptr, true);
            } else {
                w->style &= ~static_cast<DWORD>(WS_VISIBLE);
            }
            screenChanged();
        }
    }
    if (show && topLevel &&
        (command == SW_SHOW || command == SW_SHOWNORMAL || command == SW_RESTORE))
        activateWindow(window, WA_ACTIVE);
    return wasVisible ? TRUE : FALSE;
}

BOOL GetWindowRect(HWND window, LPRECT rect) {
    std::lock_guard<std::mutex> g(wmMutex());
    Window* w = findWindow(window);
    if (!w || !rect) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    POINT o = clientOrigin(w);
    *rect = RECT{o.x, o.y, o.x + w->width(), o.y + w->height()};
    return TRUE;
}

BOOL GetClientRect(HWND window, LPRECT rect) {
    std::lock_guard<std::mutex> g(wmMutex());
    Window* w = findWindow(window);
    if (!w || !rect) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    *rect = RECT{0, 0, w->width(), w->height()};
    return TRUE;
}

BOOL ScreenToClient(HWND window, LPPOINT point) {
    std::lock_guard<std::mutex> g(wmMutex());
    Window* w = findWindow(window);
    if (!w || !point) return FALSE;
    POINT o = clientOrigin(w);
    point->x -= o.x;
    point->y -= o.y;
    return TRUE;
}

BOOL ClientToScreen(HWND window, LPPOINT point) {
    std::lock_guard<std::mutex> g(wmMutex());
    Window* w = findWindow(window);
    if (!w || !point) return FALSE;
    POINT o = clientOrigin(w);
    point->x += o.x;
    point->y += o.y;
    return TRUE;
}

HWND WindowFromPoint(POINT point) {
    std::lock_guard<std::mutex> g(wmMutex());
    return windowAt(point)->handle;
}

} // extern "C"
