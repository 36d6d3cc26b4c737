// The display: the screen the windows are composited into, the backend that presents it, and the
// input that reaches the windows from it.
//
// The screen is a true-colour surface, 1024 x 768 unless a program sets its size. It is made, when
// asked for, from the desktop (filled with COLOR_BACKGROUND, painted by screen DCs) and the
// visible top-level windows in z-order, each with its visible children on top of it. Every window
// keeps a picture of its own client area, which window DCs draw into; the screen is never drawn
// on directly, so a covered window keeps its picture.
//
// The kind of display. The default is a true-colour display: no system palette, RASTERCAPS without
// RC_PALETTE. A palette display (8 bits per pixel, RC_PALETTE, a 256-entry system palette whose
// first ten and last ten entries are the 20 static colours, static use SYSPAL_STATIC) can be
// switched on so that the palette-device paths of the player run under test. A window's picture
// on a palette display holds system palette indices, so a change of the system palette changes
// the colours on the screen, as on a palette device.
//
// Backends. Headless keeps the screen in memory and writes PNG files on request; the result
// depends only on what was drawn, so two runs under the virtual clock give identical files. SDL2
// shows the screen in a real window at 1:1 and turns the mouse and keys into window messages: a
// thread of its own owns that window, polls its events and presents the screen whenever it
// changed. Which one runs is chosen at the first use of the display: SKV_DISPLAY=headless or
// SKV_DISPLAY=sdl when set, else SDL2 when DISPLAY or WAYLAND_DISPLAY names a display, else
// headless; selectDisplay overrides that. An SDL2 display that cannot open falls back to
// headless with a message on standard error.
//
// Input. Mouse input goes to the window under the pointer (or the capture window), with the
// pointer position in its client coordinates, MK_ flags of the buttons and of Shift and Control in
// wParam; a button going down on a window of a class with CS_DBLCLKS within the double-click time
// and 4 pixels of the previous one becomes a double click. Key input goes to the focus window,
// else to the active window. Every transition also updates GetAsyncKeyState.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/wingdi.h"
#include "platform/winuser.h"

namespace skv::platform {

// ---- the kind of display -------------------------------------------------------------------

// Switching (either way) resets the system palette to the static colours (zero between them)
// and the palette use to SYSPAL_STATIC, clears every window's picture and invalidates every
// window.
SKV_PLATFORM_API void setPaletteDisplay(bool on);
SKV_PLATFORM_API bool isPaletteDisplay();

// The 20 static colours as the system palette holds them: entries 0-9 are the low statics, which
// sit at system palette entries 0-9, and entries 10-19 the high statics, at entries 246-255.
SKV_PLATFORM_API const PALETTEENTRY* staticColours();

// ---- backends --------------------------------------------------------------------------------

enum class DisplayBackend { Headless, Sdl };

// Starts the backend (stopping the one running). False, with the reason in `error`, when SDL2
// cannot open its window; the display is then headless.
SKV_PLATFORM_API bool selectDisplay(DisplayBackend backend, std::string* error = nullptr);
// The backend running, started by the default rule above if none is yet.
SKV_PLATFORM_API DisplayBackend currentDisplay();
// Ends the backend (SDL2: closes its window and joins its thread). The next use starts one again.
SKV_PLATFORM_API void closeDisplay();

// The screen's size. It may change while windows show (a browser sizes it to its page): the
// desktop is filled again, windows keep their places, and SDL2's window takes the new size the
// next time it shows the screen (centred again if it no longer fits where it was).
SKV_PLATFORM_API void setScreenSize(int width, int height);
SKV_PLATFORM_API SIZE screenSize();

// SDL2: waits until the backend's thread has turned every event it had into messages and shows
// the screen as it is now. Headless: nothing to do.
SKV_PLATFORM_API void pumpDisplay();

// ---- pictures --------------------------------------------------------------------------------

// Pixels as 0x00RRGGBB, rows from the top.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;
    uint32_t at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

// What the screen shows now.
SKV_PLATFORM_API Image captureScreen();
// One window with its visible children, as they would show with nothing covering them, at the
// window's size. Empty for an invalid window.
SKV_PLATFORM_API Image captureWindow(HWND window);
// Writes an image as an 8-bit RGB PNG (no time or text chunks, fixed compression, so that equal
// pictures give equal files). False, with the reason in `error`, when the file cannot be written.
SKV_PLATFORM_API bool writePng(const Image& image, const std::string& path,
                               std::string* error = nullptr);
SKV_PLATFORM_API bool saveScreenPng(const std::string& path, std::string* error = nullptr);
SKV_PLATFORM_API bool saveWindowPng(HWND window, const std::string& path,
                                    std::string* error = nullptr);

// SDL2 only: where the backend's window shows the screen on the host's desktop. False headless.
SKV_PLATFORM_API bool displayWindowPosition(int* x, int* y);

// ---- message boxes and beeps -----------------------------------------------------------------

struct MessageBoxRecord {
    HWND owner;
    std::string text;
    std::string caption;
    UINT type;
    int answer;
};

// The answer a headless message box gives; 0 (the default) means its default button (the first,
// or the one MB_DEFBUTTONn names).
SKV_PLATFORM_API void setMessageBoxAnswer(int answer);
// Every message box shown so far, on any backend, and every MessageBeep type.
SKV_PLATFORM_API std::vector<MessageBoxRecord> messageBoxes();
SKV_PLATFORM_API std::vector<UINT> messageBeeps();
SKV_PLATFORM_API void clearMessageBoxes();

// Lets the platform see the message boxes, beeps and wave output of a module the program loaded.
// Here every module's calls come to the platform anyway; a Windows build rebinds the module's
// imports to its recorders.
inline void watchModule(HMODULE) {}

// ---- input -----------------------------------------------------------------------------------

enum class MouseButton { Left, Right, Middle };

// What a backend reports; also for tests. Positions are in screen coordinates.
SKV_PLATFORM_API void injectMouseMove(int x, int y);
SKV_PLATFORM_API void injectMouseButton(MouseButton button, bool down, int x, int y);
SKV_PLATFORM_API void injectKey(int virtualKey, bool down);

// An input script: events at times on the platform clock, described in docs/input-script.md.
struct InputEvent {
    enum class Kind { Move, ButtonDown, ButtonUp, KeyDown, KeyUp };
    uint64_t atMs = 0; // milliseconds since the script was started
    Kind kind = Kind::Move;
    int x = 0, y = 0;
    MouseButton button = MouseButton::Left;
    int virtualKey = 0;
};

// Parses a script. False, with "line N: what is wrong" in `error`, for a script that is not
// valid; nothing is kept then.
SKV_PLATFORM_API bool parseInputScript(std::string_view text, std::vector<InputEvent>* events,
                                       std::string* error);
SKV_PLATFORM_API bool loadInputScript(const std::string& path, std::vector<InputEvent>* events,
                                      std::string* error);
// Delivers the events as input when the clock reaches the time now + atMs of each (replacing a
// script already running). On the virtual clock an event is delivered at exactly its time, before
// any thread woken at that time runs, and the clock moves on to it when every participating
// thread is idle, so a script makes a run deterministic.
SKV_PLATFORM_API void runInputScript(std::vector<InputEvent> events);
// Events of the running script not delivered yet. An event counts until just after it has been
// queued, so 0 means everything is in the queues (a thread may see an event's message a moment
// before the count drops).
SKV_PLATFORM_API size_t pendingInputEvents();

} // namespace skv::platform
