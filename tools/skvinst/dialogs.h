// Setup's three modal dialogs (skvinst.rc): the licence agreement, the wait dialog that runs the
// search, and the closing dialog. Each returns what its dialog ended with.
#pragma once

#include <windows.h>

namespace skvinst {

// Finds Setup's directory and checks its files; then shows the agreement, or, without it, ends
// at once with 1. 1 is Yes, 2 is No, 1001 a missing file (already reported).
INT_PTR showEulaDlg(HINSTANCE instance, HWND owner);

// Plays the clip and runs the search thread: 1 when it installed, 2 when it did not (failed,
// cancelled or found nothing).
INT_PTR showWaitDlg(HINSTANCE instance, HWND owner);

// Thanks the user and asks whether to show the release notes (setup.openNotes).
INT_PTR showDoneDlg(HINSTANCE instance, HWND owner);

} // namespace skvinst
