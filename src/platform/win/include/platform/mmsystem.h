// The Windows build: the multimedia API (timers, wave output) through the platform's face.
#pragma once

#include "platform/win32.h"
#include <mmsystem.h>
