#include "platform/display.h"

namespace skv::platform {

void watchWaveOutput(HMODULE) {}

} // namespace skv::platform
