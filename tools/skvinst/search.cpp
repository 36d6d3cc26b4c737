#include "search.h"

#include <commctrl.h>

#include <string>
#include <vector>

#include "file_system.h"
#include "format.h"
#include "install.h"
#include "paths.h"
#include "progress.h"
#include "resource.h"
#include "setup_files.h"
#include "setup_state.h"
#include "texts.h"

namespace skvinst {

namespace {

// The thread's own stack: the tree search recurses once per directory level, and a path of at
// most MAX_PATH characters bounds the depth.
constexpr SIZE_T kSearchStack = 256 * 1024;

HANDLE searchThreadHandle = nullptr;

// The current directory, changed for the time a directory is searched.
class CurrentDirectory {
public:
    CurrentDirectory() {
        char path[MAX_PATH];
        const DWORD n = GetCurrentDirectoryA(sizeof path, path);
        if (n > 0 && n < sizeof path) previous_.assign(path, n);
    }
    ~CurrentDirectory() {
        if (entered_ && !previous_.empty()) SetCurrentDirectoryA(previous_.c_str());
    }
    CurrentDirectory(const CurrentDirectory&) = delete;
    CurrentDirectory& operator=(const CurrentDirectory&) = delete;

    bool enter(const std::string& path) {
        entered_ = SetCurrentDirectoryA(path.c_str()) != FALSE;
        return entered_;
    }

private:
    std::string previous_;
    bool entered_ = false;
};

class FindHandle {
public:
    explicit FindHandle(HANDLE h) : handle_(h) {}
    ~FindHandle() {
        if (handle_ != INVALID_HANDLE_VALUE) FindClose(handle_);
    }
    FindHandle(const FindHandle&) = delete;
    FindHandle& operator=(const FindHandle&) = delete;
    HANDLE get() const { return handle_; }

private:
    HANDLE handle_;
};

class Search {
public:
    explicit Search(HWND dialog) : dialog_(dialog) {}

    int run() {
        const std::vector<std::string> drives = fixedDrives();
        for (const std::string& root : drives) {
            DWORD sectorsPerCluster, bytesPerSector, freeClusters, totalClusters;
            if (GetDiskFreeSpaceA(root.c_str(), &sectorsPerCluster, &bytesPerSector, &freeClusters,
                                  &totalClusters))
                setup.bytesTotal +=
                    usedBytes(sectorsPerCluster, bytesPerSector, freeClusters, totalClusters);
        }
        int result = 0;
        for (const std::string& root : drives) {
            if (setup.cancelled) return 0;
            SetDlgItemTextA(dialog_, IDC_WAIT_STATUS,
                            formatText(texts::kSearchingDrive, root.c_str()).c_str());
            result = searchTree(root);
            if (setup.cancelled) return 0;
        }
        return result;
    }

private:
    static std::vector<std::string> fixedDrives() {
        std::vector<std::string> drives;
        char roots[4 * 26 + 2];
        const DWORD n = GetLogicalDriveStringsA(sizeof roots, roots);
        if (n == 0 || n >= sizeof roots) return drives;
        for (const char* root = roots; *root; root += lstrlenA(root) + 1)
            if (GetDriveTypeA(root) == DRIVE_FIXED) drives.emplace_back(root);
        return drives;
    }

    int searchTree(const std::string& directory) {
        if (setup.cancelled) return 0;
        SetDlgItemTextA(dialog_, IDC_WAIT_ACTIVITY,
                        formatText(texts::kSearchingDirectory, directory.c_str()).c_str());
        CurrentDirectory current;
        // A directory that cannot be entered (no access, a path too long) is passed over.
        if (!current.enter(directory)) return setup.copyResult;

        if (isFile(joinPath(directory, kBrowserProgram))) {
            const std::string plugins = joinPath(directory, kPluginsDirectory);
            if (isDirectory(plugins)) {
                setup.foundBrowser = true;
                setup.copyResult = copyIntoPlugins(dialog_, plugins);
                if (!setup.copyResult) return 0;
            }
        }

        WIN32_FIND_DATAA entry;
        FindHandle find(FindFirstFileA(joinPath(directory, "*.*").c_str(), &entry));
        if (find.get() == INVALID_HANDLE_VALUE) return setup.copyResult;
        do {
            if (setup.cancelled) return 0;
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                const std::string name = entry.cFileName;
                // Links and junctions may lead back up the tree; what they point to is searched
                // where it really is.
                if (name == "." || name == ".." ||
                    (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
                    continue;
                searchTree(joinPath(directory, name));
                if (setup.cancelled) return 0;
            } else {
                setup.bytesScanned += entry.nFileSizeLow;
                showProgress();
            }
        } while (FindNextFileA(find.get(), &entry));
        return setup.copyResult;
    }

    void showProgress() {
        const int percent = progressPercent(setup.bytesScanned, setup.bytesTotal);
        if (percent == shownPercent_) return; // each message waits for the dialog's thread
        shownPercent_ = percent;
        SendDlgItemMessageA(dialog_, IDC_WAIT_PROGRESS, PBM_SETPOS, static_cast<WPARAM>(percent),
                            0);
    }

    HWND dialog_;
    int shownPercent_ = 0;
};

DWORD WINAPI searchThread(LPVOID parameter) {
    const HWND dialog = static_cast<HWND>(parameter);
    int result = 0;
    try {
        result = Search(dialog).run();
    } catch (...) {
        // Out of memory for a path: the installation cannot be trusted to be complete.
        setup.failed = true;
        result = 0;
    }
    setup.searchResult = result;
    if (IsWindow(dialog)) SendMessageA(dialog, WM_SEARCH_DONE, 0, 0);
    return 0;
}

} // namespace

bool startSearchThread(HWND dialog) {
    if (searchThreadHandle) return false;
    DWORD id;
    searchThreadHandle = CreateThread(nullptr, kSearchStack, searchThread, dialog,
                                      STACK_SIZE_PARAM_IS_A_RESERVATION, &id);
    return searchThreadHandle != nullptr;
}

void waitForSearchThread() {
    if (!searchThreadHandle) return;
    for (;;) {
        const DWORD r =
            MsgWaitForMultipleObjects(1, &searchThreadHandle, FALSE, INFINITE, QS_SENDMESSAGE);
        if (r != WAIT_OBJECT_0 + 1) break;
        MSG message; // handles what the thread sent to this thread's windows
        PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    CloseHandle(searchThreadHandle);
    searchThreadHandle = nullptr;
}

} // namespace skvinst
