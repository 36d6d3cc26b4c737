// A separate program for the share-mode tests: opens a file through the platform layer from
// another process (a forked copy of the test would inherit the test's own view of its handles).
//
//   file_share_helper try PATH SHARE   exit 0 if the file opened, 3 on a sharing violation
//   file_share_helper hold PATH SHARE  open it, write 'y' (or 'n') to stdout, wait for a byte on
//                                      stdin, exit
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "platform/win32.h"

int main(int argc, char** argv) {
    if (argc != 4) return 2;
    DWORD share = static_cast<DWORD>(std::strtoul(argv[3], nullptr, 0));
    HANDLE h = CreateFileA(argv[2], GENERIC_READ, share, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (std::strcmp(argv[1], "try") == 0) {
        if (h != INVALID_HANDLE_VALUE) return 0;
        return GetLastError() == ERROR_SHARING_VIOLATION ? 3 : 4;
    }
    char c = h != INVALID_HANDLE_VALUE ? 'y' : 'n';
    if (write(1, &c, 1) != 1) return 2;
    if (read(0, &c, 1) != 1) return 2;
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    return 0;
}
