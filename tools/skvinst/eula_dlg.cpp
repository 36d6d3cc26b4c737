// The agreement dialog. Its initialisation also makes sure Setup can work at all: Setup's
// directory becomes the current one and every program file must be there, so that a broken
// package is reported before anything is copied.
#include <cstdio>

#include "dialogs.h"
#include "file_system.h"
#include "format.h"
#include "license_text.h"
#include "notices.h"
#include "paths.h"
#include "resource.h"
#include "sequence_steps.h"
#include "setup_files.h"
#include "setup_state.h"
#include "texts.h"

namespace skvinst {

namespace {

// Ends the dialog with 1001 after saying why Setup cannot go on.
void stopSetup(HWND dialog, const std::string& text) {
    showNotice(dialog, text, MB_ICONERROR);
    EndDialog(dialog, kResultMissingFile);
}

BOOL initDialog(HWND dialog) {
    setup.setupDir = directoryOf(programPath());
    if (setup.setupDir.empty() || !SetCurrentDirectoryA(setup.setupDir.c_str())) {
        // Nothing can be checked or copied from a directory Setup cannot reach; going on would
        // only end in a copy failure later.
        stopSetup(dialog, texts::kTempDirInaccessible);
        return TRUE;
    }

    std::FILE* license = nullptr;
    if (setup.showLicense) {
        license = std::fopen(joinPath(setup.setupDir, kLicenseFile).c_str(), "rt");
        if (!license) {
            stopSetup(dialog, texts::kLicenseMissing);
            return TRUE;
        }
    }
    for (const SetupFile& file : kSetupFiles) {
        if (!file.checked || isFile(joinPath(setup.setupDir, file.name))) continue;
        if (license) std::fclose(license);
        stopSetup(dialog, formatText(texts::kFileMissing, file.name));
        return TRUE;
    }
    if (!license) {
        EndDialog(dialog, kResultYes);
        return TRUE;
    }

    const std::string text = readLicense(license);
    std::fclose(license);
    SetDlgItemTextA(dialog, IDC_LICENSE_TEXT, text.c_str());
    SetFocus(GetDlgItem(dialog, IDC_LICENSE_TEXT));
    return FALSE; // the focus is set
}

INT_PTR CALLBACK eulaDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        return initDialog(dialog);
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
            EndDialog(dialog, kResultYes);
            return TRUE;
        case IDCANCEL:
            EndDialog(dialog, kResultNo);
            return TRUE;
        }
        break;
    }
    return FALSE;
}

} // namespace

INT_PTR showEulaDlg(HINSTANCE instance, HWND owner) {
    return DialogBoxParamA(instance, "EulaDlg", owner, eulaDlgProc, 0);
}

} // namespace skvinst
