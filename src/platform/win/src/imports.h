// Rebinding a loaded module's imports: the entry of its import address table for `function` of
// `library` is pointed at `replacement`, so that the module's calls go there. The original is
// returned (null when the module does not import that function).
#pragma once

#include "platform/win32.h"

namespace skv::platform::win {

void* rebindImport(HMODULE module, const char* library, const char* function, void* replacement);

} // namespace skv::platform::win
