// OutputDebugStringA: diagnostic lines, shown only when asked for.
#include <cstdio>
#include <cstdlib>

#include "platform/win32.h"

void OutputDebugStringA(const char* text) {
    static const bool wanted = std::getenv("SKV_DEBUG") != nullptr;
    if (!wanted || !text) return;
    std::fputs(text, stderr);
}
