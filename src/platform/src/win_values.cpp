// Windows: text, long values, properties and the default window procedure.
#include <algorithm>
#include <cctype>
#include <cstring>

#include "platform/wingdi.h"
#include "screen.h"
#include "win_core.h"

using namespace skv::platform::win;

namespace {

std::string propKey(LPCSTR name) {
    if (IS_INTRESOURCE(name)) {
        std::string key(1, '#');
        key.append(std::to_string(reinterpret_cast<uintptr_t>(name)));
        return key;
    }
    std::string key(name);
    for (char& c : key)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return key;
}

} // namespace

extern "C" {

// ---- text, long values, procedures -----------------------------------------------------------

int GetWindowTextA(HWND window, LPSTR text, int size) {
    std::lock_guard<std::mutex> g(wmMutex());
    Window* w = findWindow(window);
    if (!w || !text || size <= 0) return 0;
    int n = std::min<int>(size - 1, static_cast<int>(w->title.size()));
    std::memcpy(text, w->title.data(), n);
    text[n] = 0;
    return n;
}

BOOL SetWindowTextA(HWND window, LPCSTR text) {
    return SendMessageA(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)) ? TRUE : FALSE;
}

LONG_PTR GetWindowLongPtrA(HWND window, int index) {
    std::lock_guard<std::mutex> g(wmMutex());
    Window* w = findWindow(window);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    switch (index) {
    case GWLP_WNDPROC:
        return reinterpret_cast<LONG_PTR>(w->proc);
    case GWLP_USERDATA:
        return w->userData;
    case GWLP_ID:
        return w->id;
    case GWLP_HINSTANCE:
        return reinterpret_cast<LONG_PTR>(w->instance);
    case GWL_STYLE:
        return static_cast<LONG>(w->style);
    case GWL_EXSTYLE:
        return static_cast<LONG>(w->exStyle);
    default:
        if (index >= 0 && static_cast<size_t>(index) + sizeof(LONG_PTR) <= w->extra.size()) {
            LONG_PTR v;
            std::memcpy(&v, w->extra.data() + index, sizeof v);
            return v;
        }
        SetLastError(ERROR_INVALID_INDEX);
        return 0;
    }
}

LONG_PTR SetWindowLongPtrA(HWND window, int index, LONG_PTR value) {
    std::lock_guard<std::mutex> g(wmMutex());
    Window* w = findWindow(window);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    LONG_PTR previous = 0;
    switch (index) {
    case GWLP_WNDPROC:
        if (!value) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return 0;
        }
        previous = reinterpret_cast<LONG_PTR>(w->proc);
        w->proc = reinterpret_cast<WNDPROC>(value);
        break;
    case GWLP_USERDATA:
        previous = w->userData;
        w->userData = value;
        break;
    case GWLP_ID:
        previous = w->id;
        w->id = value;
        break;
    case GWLP_HINSTANCE:
        previous = reinterpret_cast<LONG_PTR>(w->instance);
        w->instance = reinterpret_cast<HINSTANCE>(value);
        break;
    case GWL_STYLE:
        previous = static_cast<LONG>(w->style);
        w->style = static_cast<DWORD>(value);
        screenChanged();
        break;
    case GWL_EXSTYLE:
        previous = static_cast<LONG>(w->exStyle);
        w->exStyle = static_cast<DWORD>(value);
        break;
    default:
        if (index >= 0 && static_cast<size_t>(index) + sizeof(LONG_PTR) <= w->extra.size()) {
            std::memcpy(&previous, w->extra.data() + index, sizeof previous);
            std::memcpy(w->extra.data() + index, &value, sizeof value);
            break;
        }
        SetLastError(ERROR_INVALID_INDEX);
        return 0;
    }
    SetLastError(0);
    return previous;
}

LONG GetWindowLongA(HWND window, int index) {
    if (index == GWL_WNDPROC || index == GWL_HINSTANCE) {
        SetLastError(ERROR_INVALID_INDEX); // an address does not fit in a LONG here
        return 0;
    }
    if (index >= 0) {
        std::lock_guard<std::mutex> g(wmMutex());
        Window* w = findWindow(window);
        if (!w || static_cast<size_t>(index) + sizeof(LONG) > w->extra.size()) {
            SetLastError(w ? ERROR_INVALID_INDEX : ERROR_INVALID_WINDOW_HANDLE);
            return 0;
        }
        LONG v;
        std::memcpy(&v, w->extra.data() + index, sizeof v);
        return v;
    }
    return static_cast<LONG>(GetWindowLongPtrA(window, index));
}

LONG SetWindowLongA(HWND window, int index, LONG value) {
    if (index == GWL_WNDPROC || index == GWL_HINSTANCE) {
        SetLastError(ERROR_INVALID_INDEX);
        return 0;
    }
    if (index >= 0) {
        std::lock_guard<std::mutex> g(wmMutex());
        Window* w = findWindow(window);
        if (!w || static_cast<size_t>(index) + sizeof(LONG) > w->extra.size()) {
            SetLastError(w ? ERROR_INVALID_INDEX : ERROR_INVALID_WINDOW_HANDLE);
            return 0;
        }
        LONG previous;
        std::memcpy(&previous, w->extra.data() + index, sizeof previous);
        std::memcpy(w->extra.data() + index, &value, sizeof value);
        SetLastError(0);
        return previous;
    }
    return static_cast<LONG>(SetWindowLongPtrA(window, index, value));
}

LRESULT CallWindowProcA(WNDPROC proc, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return proc ? proc(window, message, wParam, lParam) : 0;
}

LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_NCCREATE:
        return TRUE;
    case WM_CLOSE:
        DestroyWindow(window);
        return 0;
    case WM_ERASEBKGND: {
        HBRUSH brush;
        RECT client;
        {
            std::lock_guard<std::mutex> g(wmMutex());
            Window* w = findWindow(window);
            if (!w || !w->cls || !w->cls->background) return 0;
            brush = w->cls->background;
            client = RECT{0, 0, w->width(), w->height()};
        }
        FillRect(reinterpret_cast<HDC>(wParam), &client, brush);
        return 1;
    }
    case WM_PAINT: {
        PAINTSTRUCT ps;
        if (BeginPaint(window, &ps)) EndPaint(window, &ps);
        return 0;
    }
    case WM_SETCURSOR: {
        HWND parent = GetParent(window);
        if (parent && (GetWindowLongPtrA(window, GWL_STYLE) & WS_CHILD) &&
            SendMessageA(parent, WM_SETCURSOR, wParam, lParam))
            return TRUE;
        if (LOWORD(lParam) == HTCLIENT) {
            HCURSOR cursor = nullptr;
            {
                std::lock_guard<std::mutex> g(wmMutex());
                Window* w = findWindow(window);
                if (w && w->cls) cursor = w->cls->cursor;
            }
            if (cursor) {
                SetCursor(cursor);
                return TRUE;
            }
        }
        return FALSE;
    }
    case WM_MOUSEACTIVATE: {
        HWND parent = GetParent(window);
        if (parent && (GetWindowLongPtrA(window, GWL_STYLE) & WS_CHILD)) {
            if (LRESULT r = SendMessageA(parent, WM_MOUSEACTIVATE, wParam, lParam)) return r;
        }
        return MA_ACTIVATE;
    }
    case WM_ACTIVATE:
        if (LOWORD(wParam) != WA_INACTIVE) SetFocus(window);
        return 0;
    case WM_WINDOWPOSCHANGED: {
        const auto* wp = reinterpret_cast<const WINDOWPOS*>(lParam);
        if (!wp) return 0;
        if (!(wp->flags & SWP_NOMOVE)) SendMessageA(window, WM_MOVE, 0, MAKELPARAM(wp->x, wp->y));
        if (!(wp->flags & SWP_NOSIZE))
            SendMessageA(window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(wp->cx, wp->cy));
        return 0;
    }
    case WM_SETTEXT: {
        std::lock_guard<std::mutex> g(wmMutex());
        Window* w = findWindow(window);
        if (!w) return FALSE;
        w->title = lParam ? reinterpret_cast<const char*>(lParam) : "";
        return TRUE;
    }
    case WM_GETTEXT:
        return GetWindowTextA(window, reinterpret_cast<LPSTR>(lParam), static_cast<int>(wParam));
    case WM_GETTEXTLENGTH: {
        std::lock_guard<std::mutex> g(wmMutex());
        Window* w = findWindow(window);
        return w ? static_cast<LRESULT>(w->title.size()) : 0;
    }
    case WM_NCHITTEST:
        return HTCLIENT;
    default:
        return 0;
    }
}

// ---- properties ------------------------------------------------------------------------------

BOOL SetPropA(HWND window, LPCSTR name, HANDLE data) {
    if (!name) return FALSE;
    std::lock_guard<std::mutex> g(wmMutex());
    Window* w = findWindow(window);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    std::string key = propKey(name);
    for (auto& p : w->props)
        if (p.first == key) {
            p.second = data;
            return TRUE;
        }
    w->props.emplace_back(std::move(key), data);
    return TRUE;
}

HANDLE GetPropA(HWND window, LPCSTR name) {
    if (!name) return nullptr;
    std::lock_guard<std::mutex> g(wmMutex());
    Window* w = findWindow(window);
    if (!w) return nullptr;
    std::string key = propKey(name);
    for (auto& p : w->props)
        if (p.first == key) return p.second;
    return nullptr;
}

HANDLE RemovePropA(HWND window, LPCSTR name) {
    if (!name) return nullptr;
    std::lock_guard<std::mutex> g(wmMutex());
    Window* w = findWindow(window);
    if (!w) return nullptr;
    std::string key = propKey(name);
    for (auto it = w->props.begin(); it != w->props.end(); ++it)
        if (it->first == key) {
            HANDLE data = it->second;
            w->props.erase(it);
            return data;
        }
    return nullptr;
}

} // extern "C"
