#include "core/memorypipe.h"

#include <algorithm>
#include <cstring>

namespace skv {

int32_t MemoryPipe::read(void* buffer, int32_t n) {
    if (n < 0) return -1;
    // Closing ends writing only: what was written can still be read.
    size_t count = std::min<size_t>(static_cast<size_t>(n), remaining());
    if (count) std::memcpy(buffer, bytes_.data() + readPos_, count);
    readPos_ += count;
    return static_cast<int32_t>(count);
}

int32_t MemoryPipe::write(const void* buffer, int32_t n) {
    if (n <= 0 || closed_) return 0;
    const auto* p = static_cast<const uint8_t*>(buffer);
    bytes_.insert(bytes_.end(), p, p + n);
    return n;
}

} // namespace skv
