// Copying the program files into one plugins directory.
#pragma once

#include <windows.h>

#include <string>

namespace skvinst {

// Copies every file that goes into plugins directories from Setup's directory into plugins,
// replacing what is there (read-only files too), and shows each step in the wait dialog. 1 on
// success, remembering the directory and its release notes; 0 after the first failure, which is
// reported by its system error and ends the installation (setup.failed and setup.cancelled).
int copyIntoPlugins(HWND dialog, const std::string& plugins);

} // namespace skvinst
