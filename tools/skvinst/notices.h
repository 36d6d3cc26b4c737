// Setup's message boxes: all captioned with Setup's name and brought to the foreground.
#pragma once

#include <windows.h>

#include <string>

#include "sequence_steps.h"

namespace skvinst {

int showNotice(HWND owner, const std::string& text, UINT type = MB_OK);
int showNotice(HWND owner, const Notice& notice);

} // namespace skvinst
