// The wait dialog: a clip plays while the search thread walks the drives and copies; the thread
// reports its end with WM_SEARCH_DONE. Cancel asks first, and then leaves the thread to stop at
// its next step.
#include <windows.h>

#include <commctrl.h>

#include "dialogs.h"
#include "notices.h"
#include "paths.h"
#include "resource.h"
#include "search.h"
#include "sequence_steps.h"
#include "setup_files.h"
#include "setup_state.h"
#include "texts.h"

namespace skvinst {

namespace {

bool asking = false; // the cancel question is on screen

void askToCancel(HWND dialog) {
    if (asking) return;
    asking = true;
    const int answer = showNotice(dialog, texts::kConfirmCancel, MB_YESNO);
    asking = false;
    if (answer == IDYES) {
        setup.cancelled = true;
        EndDialog(dialog, kResultNo);
    }
}

INT_PTR CALLBACK waitDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG: {
        const std::string clip = joinPath(setup.setupDir, kClipFile);
        SendDlgItemMessageA(dialog, IDC_WAIT_CLIP, ACM_OPENA, 0,
                            reinterpret_cast<LPARAM>(clip.c_str()));
        SendDlgItemMessageA(dialog, IDC_WAIT_PROGRESS, PBM_SETPOS, 0, 0);
        PostMessageA(dialog, WM_START_SEARCH, 0, 0);
        return TRUE;
    }
    case WM_START_SEARCH:
        if (!startSearchThread(dialog)) {
            setup.failed = true;
            EndDialog(dialog, kResultNo);
        }
        return TRUE;
    case WM_SEARCH_DONE:
        // A cancellation the thread did not see in time still counts as one.
        EndDialog(dialog, setup.searchResult && !setup.cancelled ? kResultYes : kResultNo);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDCANCEL) {
            askToCancel(dialog);
            return TRUE;
        }
        break;
    case WM_DESTROY:
        SendDlgItemMessageA(dialog, IDC_WAIT_CLIP, ACM_OPENA, 0, 0); // closes the clip
        break;
    }
    return FALSE;
}

} // namespace

INT_PTR showWaitDlg(HINSTANCE instance, HWND owner) {
    return DialogBoxParamA(instance, "WaitDlg", owner, waitDlgProc, 0);
}

} // namespace skvinst
