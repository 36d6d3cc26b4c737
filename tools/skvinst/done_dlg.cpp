// The closing dialog: its check box (checked to begin with) decides whether the release notes
// are shown after it.
#include "dialogs.h"
#include "resource.h"
#include "setup_state.h"

namespace skvinst {

namespace {

INT_PTR CALLBACK doneDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        CheckDlgButton(dialog, IDC_DONE_NOTES, BST_CHECKED);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            setup.openNotes = IsDlgButtonChecked(dialog, IDC_DONE_NOTES) == BST_CHECKED;
            EndDialog(dialog, LOWORD(wParam));
            return TRUE;
        }
        break;
    }
    return FALSE;
}

} // namespace

INT_PTR showDoneDlg(HINSTANCE instance, HWND owner) {
    return DialogBoxParamA(instance, "DoneDlg", owner, doneDlgProc, 0);
}

} // namespace skvinst
