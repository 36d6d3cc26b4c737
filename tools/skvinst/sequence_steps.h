// The decisions of Setup's main sequence, apart from the windows that carry them out: what follows
// the agreement dialog and what follows the wait dialog, and which message, if any, is shown.
#pragma once

#include <cstdint>
#include <optional>

namespace skvinst {

// The results the dialogs end with.
inline constexpr intptr_t kResultYes = 1;            // agreement accepted; search succeeded
inline constexpr intptr_t kResultNo = 2;             // agreement declined; search ended otherwise
inline constexpr intptr_t kResultMissingFile = 1001; // a program file is missing (already said)

struct Notice {
    const char* text;
    bool errorIcon;
};

struct AfterLicense {
    bool search = false;
    std::optional<Notice> notice;
};

// After the agreement dialog: Yes goes on to the search; No says that nothing was installed;
// anything else (a missing file, already reported, or a dialog that could not be made) ends
// Setup quietly.
AfterLicense afterLicense(intptr_t result);

struct SearchState {
    bool failed = false;       // a copy failed (its system error has been reported)
    bool cancelled = false;    // the user stopped the search, or a failure did
    bool foundBrowser = false; // a plugins directory was found
};

struct AfterSearch {
    bool showDone = false;
    std::optional<Notice> notice;
};

// After the wait dialog: success shows the done dialog; otherwise a failure comes before a
// cancellation, which comes before "no browser found".
AfterSearch afterSearch(intptr_t result, const SearchState& state);

} // namespace skvinst
