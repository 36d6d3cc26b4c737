// Setup's whole run, driven from the creation of its hidden main window: the agreement, the
// search, the result, and the clean-up.
#pragma once

#include <windows.h>

namespace skvinst {

void runMainSequence(HINSTANCE instance, HWND window);

} // namespace skvinst
