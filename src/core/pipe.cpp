#include "core/pipe.h"

namespace skv {

void Pipe::thresholdHook(int32_t threshold) {
    threshold_ = threshold;
    if (sizeWord() < threshold) setSizeWord(threshold);
}

} // namespace skv
