// Console control events: a program asks to hear about Ctrl+C and about being told to close, so
// that it can shut down cleanly instead of being killed.
//
// As on Windows, handlers run on a thread of their own (not a signal context), most recently added
// first, until one returns TRUE; when none does, the process ends the way it would have without
// any handler. On Linux SIGINT arrives as CTRL_C_EVENT and SIGTERM and SIGHUP as
// CTRL_CLOSE_EVENT.
#pragma once

#include "platform/win32.h"

extern "C" {

#define CTRL_C_EVENT 0u
#define CTRL_BREAK_EVENT 1u
#define CTRL_CLOSE_EVENT 2u
#define CTRL_LOGOFF_EVENT 5u
#define CTRL_SHUTDOWN_EVENT 6u

typedef BOOL(WINAPI* PHANDLER_ROUTINE)(DWORD ctrlType);

// Adds or removes a handler. A null handler with add = TRUE makes the process ignore Ctrl+C; with
// add = FALSE it restores the default.
SKV_PLATFORM_API BOOL SetConsoleCtrlHandler(PHANDLER_ROUTINE handler, BOOL add);

} // extern "C"
