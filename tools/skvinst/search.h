// The search for browser installations, run on a thread of its own beside the wait dialog: every
// fixed drive's tree is walked, and the program files are copied into the plugins directory of
// every installation found. The thread shows what it does in the dialog's controls and sends the
// dialog WM_SEARCH_DONE when it has finished (setup.searchResult says how); it stops at its next
// step once setup.cancelled is set.
#pragma once

#include <windows.h>

namespace skvinst {

// False when the thread could not be started.
bool startSearchThread(HWND dialog);

// Returns once the search thread, if one was started, has ended: nothing may touch Setup's files
// or the current directory while it still runs. Messages the thread sends meanwhile are handled.
void waitForSearchThread();

} // namespace skvinst
