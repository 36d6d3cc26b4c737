// What Setup's dialogs and its search thread share. The flags and counters the thread and the
// dialog both touch while the search runs are atomic; the rest is written by one side before it
// tells the other (the thread writes the found directories before it sends WM_SEARCH_DONE).
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

namespace skvinst {

struct SetupState {
    bool showLicense = true;
    int searchResult = 0;
    std::atomic<bool> cancelled{false};
    bool failed = false;
    bool openNotes = false;
    bool foundBrowser = false;
    int copyResult = 0;
    std::atomic<uint64_t> bytesScanned{0};
    std::atomic<uint64_t> bytesTotal{0};

    std::string setupDir;   // where Setup and its files are
    std::string pluginsDir; // the last plugins directory the files went into
    std::string notesPath;  // the release notes there
};

extern SetupState setup;

} // namespace skvinst
