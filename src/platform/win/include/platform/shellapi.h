// The Windows build: the shell's API, through the platform's face.
#pragma once

#include "platform/win32.h"
#include <shellapi.h>
