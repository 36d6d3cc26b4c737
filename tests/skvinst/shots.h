// Pictures of Setup's windows as they are on screen (read from the screen, since the windows
// belong to another process), saved as PNG files for people to look at.
#pragma once

#include <windows.h>

#include <string>

#include "platform/display.h"

namespace skvinst_test {

skv::platform::Image captureScreen(const RECT& area);

// Waits (up to a minute) until the window shows painted text on the dialog colour, then saves
// it as dir\name.png. False, with the reason, otherwise.
bool saveShot(HWND window, const std::string& dir, const std::string& name, std::string* why);

// Waits (up to a minute) until what the window shows changes: a clip that plays does.
bool showsMotion(HWND window, std::string* why);

} // namespace skvinst_test
