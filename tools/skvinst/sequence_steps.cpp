#include "sequence_steps.h"

#include "texts.h"

namespace skvinst {

AfterLicense afterLicense(intptr_t result) {
    AfterLicense next;
    if (result == kResultYes)
        next.search = true;
    else if (result == kResultNo)
        next.notice = Notice{texts::kLicenseDeclined, false};
    return next;
}

AfterSearch afterSearch(intptr_t result, const SearchState& state) {
    AfterSearch next;
    if (result == kResultYes) {
        next.showDone = true;
    } else if (state.failed) {
        next.notice = Notice{texts::kNotCompleted, true};
    } else if (state.cancelled) {
        next.notice = Notice{texts::kCancelled, false};
    } else if (result == kResultNo && !state.foundBrowser) {
        next.notice = Notice{texts::kBrowserNotFound, true};
    } else {
        // The dialog could not be shown, or the search ended without success for no reason it
        // reported: the installation is not complete and the user must hear so.
        next.notice = Notice{texts::kNotCompleted, true};
    }
    return next;
}

} // namespace skvinst
