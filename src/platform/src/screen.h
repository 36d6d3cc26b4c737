// What the GDI and the display backends need from the window system: the lock that guards the
// window tree and every picture, the pictures themselves, and the composed screen.
//
// Lock order: the window-manager lock comes before the display state's lock and before the
// scheduler lock; it is never held while a window procedure runs or a thread blocks.
#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

#include "picture.h"
#include "platform/winuser.h"

namespace skv::platform::win {

std::mutex& wmMutex();

// Window-manager lock held for these four.
gdi::Picture* windowPicture(HWND window);
gdi::Picture& desktopPicture();
// The screen as it shows now: the desktop with every visible window on it.
gdi::Picture composeScreen();
// One window and its visible children alone, at the window's size; false for an invalid window.
bool composeWindow(HWND window, gdi::Picture& out);

// Something on the screen changed: a backend that presents it shows it again.
void screenChanged();
uint64_t screenGeneration();

// After a change of display kind: every picture cleared, every window invalidated.
void resetPictures();
// Posts a message to every top-level window (takes the window-manager lock).
void postToTopLevel(UINT message, WPARAM wParam, LPARAM lParam);

// The value of a colour on the display (0x00RRGGBB, or the nearest static colour's system index
// on a palette display); used for the desktop and for clearing pictures.
uint32_t displayValueOf(COLORREF colour);
// A display value as 0x00RRGGBB.
uint32_t displayValueToRgb(uint32_t value);

// The cursor SetCursor chose (null: hidden), and its shape: an IDC_ value for a system cursor, or
// the planes of one made with CreateCursor. False for a cursor that no longer exists.
HCURSOR currentCursorHandle();
bool cursorShape(HCURSOR cursor, int* systemId, int* width, int* height, int* hotX, int* hotY,
                 std::vector<uint8_t>* andPlane, std::vector<uint8_t>* xorPlane);

} // namespace skv::platform::win
