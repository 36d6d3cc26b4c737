// A pipe over a byte buffer in memory: writes append, reads consume from the front. Reads never
// block; asking for more than is there returns what is there. Closing ends writing, not reading.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/pipe.h"

namespace skv {

class MemoryPipe : public Pipe {
public:
    MemoryPipe() { openStatus_ = 0; }
    explicit MemoryPipe(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) { openStatus_ = 0; }

    int32_t read(void* buffer, int32_t n) override;
    int32_t write(const void* buffer, int32_t n) override;
    int32_t size() override { return static_cast<int32_t>(bytes_.size()); }

    const std::vector<uint8_t>& bytes() const { return bytes_; }
    std::vector<uint8_t> take() { return std::move(bytes_); }
    size_t readPosition() const { return readPos_; }
    size_t remaining() const { return bytes_.size() - readPos_; }

private:
    std::vector<uint8_t> bytes_;
    size_t readPos_ = 0;
};

} // namespace skv
