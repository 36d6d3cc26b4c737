#include "script/chunks.h"

#include <algorithm>

namespace skv {

namespace {

bool isLineBreak(char c) {
    return c == 10 || c == 12 || c == 13;
}
bool isWhite(char c) {
    return (c >= 9 && c <= 13) || c == 32;
}

} // namespace

ChunkRange findChunk(std::string_view t, const ChunkBounds& b, char delim, bool forDelete) {
    const int64_t len = static_cast<int64_t>(t.size());
    int64_t start = 0, end = len, p = 0;

    if (b.lineFirst || b.lineLast) {
        int64_t s = 1;
        for (;; ++s) {
            int64_t at = p;
            while (at < len && !isLineBreak(t[size_t(at)]))
                ++at;
            if (at >= len) break;
            p = at + 1;
            if (s < b.lineFirst) start = p;
            if (s >= b.lineFirst && s >= b.lineLast) {
                end = p - 1;
                break;
            }
        }
        if (s < b.lineFirst) start = end;
        p = start;
    }

    if (b.itemFirst || b.itemLast) {
        int64_t s = 1;
        for (;; ++s) {
            if (p > end) break;
            int64_t at = p;
            while (at < len && t[size_t(at)] != delim)
                ++at; // to the end of the whole text
            if (at >= len) break;
            p = at + 1;
            if (s < b.itemFirst) start = p;
            if (s >= b.itemFirst && s >= b.itemLast) {
                end = forDelete ? at + 1 : at;
                break;
            }
        }
        if (s < b.itemFirst) start = end;
        p = start;
    }

    if (b.wordFirst) {
        int64_t s = 1;
        for (; p <= end; ++s) {
            int64_t at = p;
            while (at < len && isWhite(t[size_t(at)]))
                ++at;
            while (at < len && !isWhite(t[size_t(at)]))
                ++at;
            if (at >= len) break; // the text ends inside the word
            p = at;
            if (s < b.wordFirst) start = p;
            if (s >= b.wordFirst && s >= b.wordLast) {
                end = p;
                break;
            }
        }
        if (s < b.wordFirst)
            start = end;
        else
            while (start < len && isWhite(t[size_t(start)]))
                ++start;
        p = start;
    }

    // Earlier stages may leave the start past the end (an item beyond the end of its line).
    end = std::clamp<int64_t>(end, 0, len);
    start = std::clamp<int64_t>(start, 0, end);
    p = std::clamp<int64_t>(p, 0, end);

    if (b.charFirst || b.charLast) {
        int64_t first = std::max<int64_t>(b.charFirst, 1); // a missing first counts as the first
        start = std::min<int64_t>(end, p + first - 1);
        if (b.charLast)
            end = std::max<int64_t>(start, std::min<int64_t>(end, p + b.charLast));
        else
            end = std::min<int64_t>(end, start + 1);
    }
    end = std::clamp<int64_t>(end, 0, len);
    start = std::clamp<int64_t>(start, 0, end);
    return {size_t(start), size_t(end)};
}

} // namespace skv
