// The process: its identifier, its environment, and the shell's default action.
#include <spawn.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "errors.h"
#include "platform/shellapi.h"

extern char** environ;

extern "C" {

DWORD GetCurrentProcessId(void) {
    return static_cast<DWORD>(getpid());
}

BOOL SetEnvironmentVariableA(LPCSTR name, LPCSTR value) {
    if (!name || !*name || std::strchr(name, '=')) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const int r = value ? setenv(name, value, 1) : unsetenv(name);
    if (r != 0) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    return TRUE;
}

HINSTANCE ShellExecuteA(HWND, LPCSTR operation, LPCSTR file, LPCSTR, LPCSTR, int) {
    if (!file || !*file || (operation && std::strcmp(operation, "open") != 0))
        return reinterpret_cast<HINSTANCE>(static_cast<intptr_t>(SE_ERR_NOASSOC));
    char opener[] = "xdg-open";
    std::string arg = file;
    char* args[] = {opener, arg.data(), nullptr};
    pid_t pid = 0;
    if (posix_spawnp(&pid, opener, nullptr, nullptr, args, environ) != 0)
        return reinterpret_cast<HINSTANCE>(static_cast<intptr_t>(ERROR_FILE_NOT_FOUND));
    return reinterpret_cast<HINSTANCE>(static_cast<intptr_t>(33));
}

} // extern "C"
