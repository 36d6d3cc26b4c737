// The shell's default action for a document or address: ShellExecuteA with "open" hands it to
// the program the user's desktop opens it with (xdg-open here). A result above 32 means the
// program was started; what it then does is its own affair.
#pragma once

#include "platform/winuser.h"

extern "C" {

#define SE_ERR_NOASSOC 31

SKV_PLATFORM_API HINSTANCE ShellExecuteA(HWND owner, LPCSTR operation, LPCSTR file,
                                         LPCSTR parameters, LPCSTR directory, int show);

} // extern "C"
