#include "main_sequence.h"

#include <shellapi.h>

#include "cleanup.h"
#include "dialogs.h"
#include "notices.h"
#include "search.h"
#include "sequence_steps.h"
#include "setup_state.h"

namespace skvinst {

void runMainSequence(HINSTANCE instance, HWND window) {
    const AfterLicense afterAgreement = afterLicense(showEulaDlg(instance, window));
    if (afterAgreement.notice) showNotice(window, *afterAgreement.notice);
    if (afterAgreement.search) {
        const INT_PTR result = showWaitDlg(instance, window);
        // After a cancel the thread is still finishing its step; what it leaves decides the
        // message.
        waitForSearchThread();
        const AfterSearch next =
            afterSearch(result, SearchState{setup.failed, setup.cancelled, setup.foundBrowser});
        if (next.showDone) {
            showDoneDlg(instance, window);
            // Shown from the directory it is in; Setup's work is done whether or not it opens.
            if (setup.openNotes)
                ShellExecuteA(window, nullptr, setup.notesPath.c_str(), nullptr,
                              setup.pluginsDir.c_str(), SW_SHOWNORMAL);
        } else if (next.notice) {
            showNotice(window, *next.notice);
        }
    }
    cleanUp();
}

} // namespace skvinst
