#include "install.h"

#include "copy_errors.h"
#include "format.h"
#include "notices.h"
#include "paths.h"
#include "resource.h"
#include "setup_files.h"
#include "setup_state.h"
#include "texts.h"

namespace skvinst {

int copyIntoPlugins(HWND dialog, const std::string& plugins) {
    SetDlgItemTextA(dialog, IDC_WAIT_FOUND,
                    formatText(texts::kFoundPlugins, plugins.c_str()).c_str());
    for (const SetupFile& file : kSetupFiles) {
        if (!file.copied) continue;
        const CopyAttempt attempt{joinPath(setup.setupDir, file.name), joinPath(plugins, file.name),
                                  plugins};
        SetDlgItemTextA(
            dialog, IDC_WAIT_ACTIVITY,
            formatText(texts::kTransferring, file.name, attempt.target.c_str()).c_str());
        // An older copy may have been made read-only; CopyFile would not replace it.
        const DWORD attributes = GetFileAttributesA(attempt.target.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
            SetFileAttributesA(attempt.target.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
        if (!CopyFileA(attempt.source.c_str(), attempt.target.c_str(), FALSE)) {
            const DWORD code = GetLastError();
            showNotice(dialog, copyErrorMessage(code, attempt), MB_ICONERROR);
            setup.failed = true;
            setup.cancelled = true;
            return 0;
        }
    }
    setup.pluginsDir = plugins;
    setup.notesPath = joinPath(plugins, kReleaseNotesFile);
    return 1;
}

} // namespace skvinst
