#include "setup_windows.h"

#include <algorithm>

namespace skvinst_test {

namespace {

constexpr DWORD kAwaitMs = 60000;
constexpr UINT kTextTimeoutMs = 10000;
// The message of a system message box is the static control numbered 0xFFFF.
constexpr int kMessageBoxTextId = 0xFFFF;

std::vector<Kind> seen;

struct Collect {
    DWORD processId;
    std::vector<HWND> windows;
};

BOOL CALLBACK collectWindow(HWND window, LPARAM parameter) {
    auto* collect = reinterpret_cast<Collect*>(parameter);
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    char className[64] = {};
    GetClassNameA(window, className, sizeof className);
    if (processId == collect->processId && IsWindowVisible(window) &&
        std::string(className) == "#32770")
        collect->windows.push_back(window);
    return TRUE;
}

struct Statics {
    std::vector<HWND> controls;
};

BOOL CALLBACK collectStatic(HWND child, LPARAM parameter) {
    char className[64] = {};
    GetClassNameA(child, className, sizeof className);
    if (lstrcmpiA(className, "Static") == 0)
        reinterpret_cast<Statics*>(parameter)->controls.push_back(child);
    return TRUE;
}

std::string messageOf(HWND box) {
    if (HWND text = GetDlgItem(box, kMessageBoxTextId)) return windowText(text);
    // Otherwise every text the box shows, one a line.
    Statics statics;
    EnumChildWindows(box, collectStatic, reinterpret_cast<LPARAM>(&statics));
    std::string all;
    for (HWND s : statics.controls) {
        const std::string t = windowText(s);
        if (t.empty()) continue;
        if (!all.empty()) all += "\n";
        all += t;
    }
    return all;
}

std::string describe(const std::vector<SetupWindow>& windows) {
    if (windows.empty()) return "nothing";
    std::string out;
    for (const SetupWindow& w : windows) {
        if (!out.empty()) out += "; ";
        out += kindName(w.kind);
        if (w.kind == Kind::MessageBox) out += " \"" + w.text + "\"";
    }
    return out;
}

} // namespace

const char* kindName(Kind kind) {
    switch (kind) {
    case Kind::Eula:
        return "the agreement dialog";
    case Kind::Wait:
        return "the wait dialog";
    case Kind::Done:
        return "the done dialog";
    case Kind::MessageBox:
        return "a message box";
    }
    return "?";
}

std::string windowText(HWND window) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutA(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kTextTimeoutMs,
                             &length))
        return {};
    std::string text(length + 1, '\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutA(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                             SMTO_ABORTIFHUNG, kTextTimeoutMs, &copied))
        return {};
    text.resize(std::min<size_t>(copied, length));
    return text;
}

std::string controlText(HWND dialog, int id) {
    HWND control = GetDlgItem(dialog, id);
    return control ? windowText(control) : std::string();
}

std::vector<SetupWindow> setupWindows(DWORD processId) {
    Collect collect{processId, {}};
    EnumWindows(collectWindow, reinterpret_cast<LPARAM>(&collect));
    std::vector<SetupWindow> windows;
    for (HWND hwnd : collect.windows) {
        SetupWindow w;
        w.hwnd = hwnd;
        char caption[256] = {};
        GetWindowTextA(hwnd, caption, sizeof caption);
        w.caption = caption;
        if (GetDlgItem(hwnd, 1001))
            w.kind = Kind::Eula;
        else if (GetDlgItem(hwnd, 1015))
            w.kind = Kind::Wait;
        else if (GetDlgItem(hwnd, 1017))
            w.kind = Kind::Done;
        else {
            w.kind = Kind::MessageBox;
            w.text = messageOf(hwnd);
        }
        windows.push_back(w);
    }
    return windows;
}

Awaited awaitWindow(SetupProcess& setup, Kind kind, HWND except) {
    const ULONGLONG deadline = GetTickCount64() + kAwaitMs;
    std::vector<SetupWindow> last;
    for (;;) {
        const bool wasRunning = setup.running();
        last = setupWindows(setup.id());
        for (const SetupWindow& w : last)
            if (std::find(seen.begin(), seen.end(), w.kind) == seen.end()) seen.push_back(w.kind);
        for (const SetupWindow& w : last)
            if (w.kind == kind && w.hwnd != except && (kind != Kind::MessageBox || !w.text.empty()))
                return {w, {}};
        if (kind != Kind::MessageBox) {
            // (A box without text is still being made, or going away.)
            for (const SetupWindow& w : last)
                if (w.kind == Kind::MessageBox && w.hwnd != except && !w.text.empty())
                    return {{},
                            std::string("Setup showed a message box instead of ") + kindName(kind) +
                                ": \"" + w.text + "\""};
        }
        if (!wasRunning)
            return {{},
                    std::string("Setup ended (exit code ") + std::to_string(setup.exitCode()) +
                        ") without showing " + kindName(kind)};
        if (GetTickCount64() > deadline)
            return {{},
                    std::string("no ") + kindName(kind) +
                        " within a minute; on screen: " + describe(last)};
        Sleep(20);
    }
}

const std::vector<Kind>& kindsSeen() {
    return seen;
}

void forgetKindsSeen() {
    seen.clear();
}

bool showsIcon(HWND box) {
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        char className[64] = {};
        GetClassNameA(child, className, sizeof className);
        if (lstrcmpiA(className, "Static") != 0) continue;
        if ((GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) != SS_ICON) continue;
        DWORD_PTR icon = 0;
        if (IsWindowVisible(child) &&
            SendMessageTimeoutA(child, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, kTextTimeoutMs,
                                &icon) &&
            icon)
            return true;
    }
    return false;
}

HWND focusedWindow(HWND anyWindowOfThread) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    const DWORD thread = GetWindowThreadProcessId(anyWindowOfThread, nullptr);
    return GetGUIThreadInfo(thread, &info) ? info.hwndFocus : nullptr;
}

void press(HWND dialog, int id) {
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

int checkState(HWND dialog, int id) {
    DWORD_PTR state = 0;
    SendMessageTimeoutA(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, kTextTimeoutMs,
                        &state);
    return static_cast<int>(state);
}

void setCheck(HWND dialog, int id, int state) {
    DWORD_PTR ignored = 0;
    SendMessageTimeoutA(GetDlgItem(dialog, id), BM_SETCHECK, static_cast<WPARAM>(state), 0,
                        SMTO_ABORTIFHUNG, kTextTimeoutMs, &ignored);
}

} // namespace skvinst_test
