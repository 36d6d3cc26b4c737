// The objects that end a movie stream. The stream ends logically at the first of either; whatever
// is inflated after it is drained and never interpreted.
#pragma once

#include <cstdint>

#include "core/object.h"

namespace skv {

// No body.
class NTrailer : public skvObject {
public:
    NTrailer();
    int32_t sizeHint() override { return 0; }
    void serialize(uArchive& ar) override;
};

// A 256-byte block the writer may fill; the player carries it without reading it.
class NChain : public skvObject {
public:
    static constexpr int kBlockSize = 256;
    NChain();
    int32_t sizeHint() override { return kBlockSize; }
    void serialize(uArchive& ar) override;

    uint8_t block[kBlockSize] = {};
};

} // namespace skv
