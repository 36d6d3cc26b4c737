// The Windows build: the system's own header, through the platform's face.
#pragma once

#include "platform/win32.h"
