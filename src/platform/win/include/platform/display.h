// The Windows build's display: the system's desktop. What the code above asks of a display
// beyond the Windows API is here with the names it has on Linux: the pictures of windows saved
// as PNG files, the message boxes a program has shown, and input scripts delivered as the
// messages a mouse and keyboard would send.
//
// There is one backend, the desktop. selectDisplay(Headless) keeps the windows real but answers
// message boxes without showing them, as the Linux headless display does, so that a test run
// never waits for a person; selectDisplay(Sdl) shows them.
//
// The "screen" of a run is the client area of the program's first visible top-level window (a
// browser's page): input positions are in its coordinates.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win32.h"

namespace skv::platform {

enum class DisplayBackend { Headless, Sdl };

SKV_PLATFORM_API bool selectDisplay(DisplayBackend backend, std::string* error = nullptr);
SKV_PLATFORM_API DisplayBackend currentDisplay();
SKV_PLATFORM_API void closeDisplay();

// The size the program gives its screen (its page). The desktop itself does not change.
SKV_PLATFORM_API void setScreenSize(int width, int height);
SKV_PLATFORM_API SIZE screenSize();
// Dispatches what the calling thread's queue holds, so that windows have painted.
SKV_PLATFORM_API void pumpDisplay();

// ---- pictures --------------------------------------------------------------------------------

// Pixels as 0x00RRGGBB, rows from the top.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;
    uint32_t at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

// One window with its visible children as they show now, at the window's size: read from its DC
// into a DIB section. Empty for an invalid window.
SKV_PLATFORM_API Image captureWindow(HWND window);
// The area (x, y, w, h) of what a DC shows (the screen's, from GetDC(nullptr), for example).
SKV_PLATFORM_API Image captureArea(HDC source, int x, int y, int w, int h);
SKV_PLATFORM_API bool writePng(const Image& image, const std::string& path,
                               std::string* error = nullptr);
SKV_PLATFORM_API bool saveWindowPng(HWND window, const std::string& path,
                                    std::string* error = nullptr);

// ---- message boxes and beeps -----------------------------------------------------------------

struct MessageBoxRecord {
    HWND owner;
    std::string text;
    std::string caption;
    UINT type;
    int answer;
};

// Lets the platform see the message boxes, beeps and wave output of a module the program loaded
// (a plug-in): its imports of them are bound to the platform's recorders, which pass them on to
// the system. On Linux every module's calls come to the platform anyway.
SKV_PLATFORM_API void watchModule(HMODULE module);

SKV_PLATFORM_API void setMessageBoxAnswer(int answer);
SKV_PLATFORM_API std::vector<MessageBoxRecord> messageBoxes();
SKV_PLATFORM_API std::vector<UINT> messageBeeps();
SKV_PLATFORM_API void clearMessageBoxes();

// ---- input -----------------------------------------------------------------------------------

enum class MouseButton { Left, Right, Middle };

// Positions are in the coordinates of the screen (above). The message goes to the window under
// the position (the capture window, when one has the mouse), as the system would send it.
SKV_PLATFORM_API void injectMouseMove(int x, int y);
SKV_PLATFORM_API void injectMouseButton(MouseButton button, bool down, int x, int y);
SKV_PLATFORM_API void injectKey(int virtualKey, bool down);

struct InputEvent {
    enum class Kind { Move, ButtonDown, ButtonUp, KeyDown, KeyUp };
    uint64_t atMs = 0;
    Kind kind = Kind::Move;
    int x = 0, y = 0;
    MouseButton button = MouseButton::Left;
    int virtualKey = 0;
};

SKV_PLATFORM_API bool parseInputScript(std::string_view text, std::vector<InputEvent>* events,
                                       std::string* error);
SKV_PLATFORM_API bool loadInputScript(const std::string& path, std::vector<InputEvent>* events,
                                      std::string* error);
SKV_PLATFORM_API void runInputScript(std::vector<InputEvent> events);
SKV_PLATFORM_API size_t pendingInputEvents();

} // namespace skv::platform
