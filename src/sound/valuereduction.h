// Value reduction of 8-bit samples before they are stored raw: rare sample values close to a
// frequent one take that one's value, so that the stored bytes compress better.
#pragma once

#include <cstdint>
#include <vector>

namespace skv {

// Bytes below 40 become 0. Then the 256 values are ranked by how often they occur (most first,
// lower value first among equals); the 63 most frequent surviving values in turn drop every less
// frequent value within `threshold` of them among the first 254 of the ranking. Every sample of
// a dropped value takes the nearest surviving value that occurs in the samples (the more
// frequent one on ties). A threshold of 0 changes nothing.
void reduceValues(std::vector<uint8_t>& samples, int32_t threshold);

} // namespace skv
