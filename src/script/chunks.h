// Chunk expressions: the range of a text that eight bounds address, narrowed line by line, then
// item, word and character, each stage inside the range of the one before. A bound of 0 is not
// given; positions count from 1.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace skv {

struct ChunkBounds {
    int32_t charFirst = 0, charLast = 0;
    int32_t wordFirst = 0, wordLast = 0;
    int32_t itemFirst = 0, itemLast = 0;
    int32_t lineFirst = 0, lineLast = 0;
};

struct ChunkRange {
    size_t start = 0;
    size_t end = 0; // exclusive; start <= end <= text length
};

// forDelete: the delimiter after the last item belongs to the chunk.
ChunkRange findChunk(std::string_view text, const ChunkBounds& b, char itemDelimiter,
                     bool forDelete);

} // namespace skv
