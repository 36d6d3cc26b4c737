// The message boxes and beeps of a watched module: recorded, then shown by the system, or, on the
// headless display, answered at once with the default button (or the answer a test set).
#include "display_state.h"
#include "imports.h"

namespace skv::platform {

namespace {

using MessageBoxCall = int(WINAPI*)(HWND, LPCSTR, LPCSTR, UINT);
using MessageBeepCall = BOOL(WINAPI*)(UINT);

MessageBoxCall gShowBox = MessageBoxA;
MessageBeepCall gBeep = MessageBeep;

// The buttons of a box type, first to last.
std::vector<int> buttonsOf(UINT type) {
    switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL:
        return {IDOK, IDCANCEL};
    case MB_ABORTRETRYIGNORE:
        return {IDABORT, IDRETRY, IDIGNORE};
    case MB_YESNOCANCEL:
        return {IDYES, IDNO, IDCANCEL};
    case MB_YESNO:
        return {IDYES, IDNO};
    case MB_RETRYCANCEL:
        return {IDRETRY, IDCANCEL};
    default:
        return {IDOK};
    }
}

int defaultAnswer(UINT type) {
    const std::vector<int> buttons = buttonsOf(type);
    const size_t n = (type & MB_DEFMASK) >> 8;
    return buttons[n < buttons.size() ? n : 0];
}

int WINAPI recordMessageBox(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    auto& s = win::displayState();
    bool show;
    int answer;
    {
        std::lock_guard<std::mutex> g(s.mu);
        show = s.backend == DisplayBackend::Sdl;
        answer = s.messageBoxAnswer ? s.messageBoxAnswer : defaultAnswer(type);
    }
    if (show) answer = gShowBox(owner, text, caption, type);
    std::lock_guard<std::mutex> g(s.mu);
    s.boxes.push_back({owner, text ? text : "", caption ? caption : "Error", type, answer});
    return answer;
}

BOOL WINAPI recordBeep(UINT type) {
    {
        std::lock_guard<std::mutex> g(win::displayState().mu);
        win::displayState().beeps.push_back(type);
    }
    return gBeep(type);
}

} // namespace

void watchWaveOutput(HMODULE module);

void watchModule(HMODULE module) {
    if (!module) return;
    if (void* o = win::rebindImport(module, "user32.dll", "MessageBoxA",
                                    reinterpret_cast<void*>(&recordMessageBox)))
        gShowBox = reinterpret_cast<MessageBoxCall>(o);
    if (void* o = win::rebindImport(module, "user32.dll", "MessageBeep",
                                    reinterpret_cast<void*>(&recordBeep)))
        gBeep = reinterpret_cast<MessageBeepCall>(o);
    watchWaveOutput(module);
}

void setMessageBoxAnswer(int answer) {
    std::lock_guard<std::mutex> g(win::displayState().mu);
    win::displayState().messageBoxAnswer = answer;
}

std::vector<MessageBoxRecord> messageBoxes() {
    std::lock_guard<std::mutex> g(win::displayState().mu);
    return win::displayState().boxes;
}

std::vector<UINT> messageBeeps() {
    std::lock_guard<std::mutex> g(win::displayState().mu);
    return win::displayState().beeps;
}

void clearMessageBoxes() {
    std::lock_guard<std::mutex> g(win::displayState().mu);
    win::displayState().boxes.clear();
    win::displayState().beeps.clear();
}

} // namespace skv::platform
