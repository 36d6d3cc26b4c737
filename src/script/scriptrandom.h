// The scripts' pseudo-random generator: the classic linear congruential generator of the C
// library on the player's home platform, so that a seed gives the same numbers everywhere.
#pragma once

#include <cstdint>

namespace skv {

class ScriptRandom {
public:
    static constexpr int32_t kMax = 0x7FFF;

    void seed(uint32_t s) { state_ = s; }
    // 0 .. kMax.
    int32_t next() {
        state_ = state_ * 214013u + 2531011u;
        return static_cast<int32_t>((state_ >> 16) & kMax);
    }

private:
    uint32_t state_ = 1;
};

} // namespace skv
