// The Windows build's face of the platform layer: the system's own API, plus the few helpers
// beyond it that the code above calls (declared in the headers beside this one, with the same
// names as on Linux).
#pragma once

// std::min and std::max must stay functions.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <rpc.h>
#include <windows.h>
#include <winsock.h>

#include <cstddef>
#include <cstdint>

// The helpers live in a static library linked into each module, so nothing needs exporting.
#define SKV_PLATFORM_API
// The printf the C library formats with, for format checks of functions that pass their
// arguments on to it.
#define SKV_PRINTF_FORMAT gnu_printf
// What a module (a plug-in) exports to the program that loads it.
#define SKV_MODULE_EXPORT __declspec(dllexport)

// The separator of the system's paths.
#define SKV_PATH_SEPARATOR '\\'
