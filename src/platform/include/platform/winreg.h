// Read-only registry subset. On Linux the keys and values come from a small configuration file
// (see the platform's registry implementation for its location and format); the Internet Settings
// proxy values also come from the http_proxy environment variable.
#pragma once

#include "platform/win32.h"

extern "C" {

typedef struct HKEY__* HKEY;
typedef HKEY* PHKEY;
typedef DWORD REGSAM;
typedef LONG LSTATUS;

#define HKEY_CLASSES_ROOT ((HKEY)(uintptr_t)0x80000000u)
#define HKEY_CURRENT_USER ((HKEY)(uintptr_t)0x80000001u)
#define HKEY_LOCAL_MACHINE ((HKEY)(uintptr_t)0x80000002u)

#define KEY_QUERY_VALUE 0x0001
#define KEY_ENUMERATE_SUB_KEYS 0x0008
#define KEY_READ 0x20019

#define REG_NONE 0
#define REG_SZ 1
#define REG_BINARY 3
#define REG_DWORD 4

#define ERROR_MORE_DATA 234L

SKV_PLATFORM_API LSTATUS RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD options, REGSAM desired,
                                       PHKEY result);
SKV_PLATFORM_API LSTATUS RegQueryValueExA(HKEY key, LPCSTR valueName, DWORD* reserved, DWORD* type,
                                          BYTE* data, DWORD* dataSize);
SKV_PLATFORM_API LSTATUS RegCloseKey(HKEY key);

#define RegOpenKeyEx RegOpenKeyExA
#define RegQueryValueEx RegQueryValueExA

} // extern "C"
