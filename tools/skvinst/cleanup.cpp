#include "cleanup.h"

#include <windows.h>

#include <string>

#include "file_system.h"
#include "paths.h"
#include "search.h"
#include "setup_files.h"
#include "setup_state.h"

namespace skvinst {

namespace {

bool isWindowsNT() {
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;
    // Every system since Windows 2000 is NT; GetVersionEx only fails on a wrong size.
    return !GetVersionExA(&version) || version.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

// A running program cannot delete itself: the system does it when it next starts.
void deleteAtRestart(const std::string& path) {
    if (isWindowsNT()) {
        MoveFileExA(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
        return;
    }
    // Windows 95 and 98 carry out WININIT.INI's [Rename] section at start; NUL as the new name
    // deletes the file.
    char windows[MAX_PATH];
    const UINT n = GetWindowsDirectoryA(windows, sizeof windows);
    if (n == 0 || n >= sizeof windows) return;
    WritePrivateProfileStringA("Rename", "NUL", path.c_str(),
                               joinPath(windows, "WININIT.INI").c_str());
}

} // namespace

void cleanUp() {
    // The search thread changes the current directory and copies from Setup's directory.
    waitForSearchThread();
    if (setup.setupDir.empty()) return;
    SetCurrentDirectoryA(setup.setupDir.c_str());
    if (!isFile(joinPath(setup.setupDir, kPackageMarkFile))) return;
    for (const SetupFile& file : kSetupFiles)
        DeleteFileA(joinPath(setup.setupDir, file.name).c_str());
    const std::string self = programPath();
    if (!self.empty()) deleteAtRestart(self);
}

} // namespace skvinst
