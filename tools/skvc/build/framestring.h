// Encodes a sequence of frame images as a score's frame string: each frame holds change records
// for the bytes that differ from the frame before it (frame 1 from an all-zero image), and a
// zero length ends the string. Runs of changed bytes closer together than a record header are
// joined into one record.
#pragma once

#include <cstdint>
#include <vector>

#include "movie/frameimage.h"

namespace skvc {

std::vector<uint8_t> encodeFrameString(const std::vector<skv::FrameImage>& frames);

} // namespace skvc
