// The module's "BUFFERING" picture: what the plug-in's window shows while a movie buffers.
#pragma once

#include <memory>

#include "gfx/dib.h"

namespace skv::plugin {

// A new copy of the picture: 8 bits per pixel, the word in dark grey on white inside a thin
// frame; entry 0 of its colours is white and entry 1 the ink.
std::unique_ptr<nDIB> loadBufferingPicture();

} // namespace skv::plugin
