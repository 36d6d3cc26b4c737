// Setup's windows as a user meets them: its dialogs and message boxes, found among the visible
// top-level dialog windows (#32770) of its process, their texts read and their buttons pressed
// through window messages.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "setup_process.h"

namespace skvinst_test {

enum class Kind { Eula, Wait, Done, MessageBox };
const char* kindName(Kind kind);

struct SetupWindow {
    HWND hwnd = nullptr;
    Kind kind = Kind::MessageBox;
    std::string caption;
    std::string text; // a message box's message
};

// What is on screen now, in no particular order.
std::vector<SetupWindow> setupWindows(DWORD processId);

struct Awaited {
    SetupWindow window;
    std::string problem; // why there is none
    explicit operator bool() const { return window.hwnd != nullptr; }
};

// Waits (up to a minute) until a window of the kind shows, other than the one named by except.
// Gives up at once when Setup ends first, or when a message box shows while a dialog is awaited,
// and says what it saw.
Awaited awaitWindow(SetupProcess& setup, Kind kind, HWND except = nullptr);

// Every kind of window Setup has shown while awaitWindow watched.
const std::vector<Kind>& kindsSeen();
void forgetKindsSeen();

// A control's text, through WM_GETTEXT (which works across processes).
std::string controlText(HWND dialog, int id);
std::string windowText(HWND window);

// Whether a message box shows an icon.
bool showsIcon(HWND messageBox);

// The window of a process's thread that has the keyboard focus.
HWND focusedWindow(HWND anyWindowOfThread);

// Presses a button as a click would: the dialog receives WM_COMMAND with BN_CLICKED.
void press(HWND dialog, int id);
int checkState(HWND dialog, int id);
void setCheck(HWND dialog, int id, int state);

} // namespace skvinst_test
