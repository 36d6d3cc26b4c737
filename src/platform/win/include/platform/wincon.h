// The Windows build: console control handlers are the system's own.
#pragma once

#include "platform/win32.h"
