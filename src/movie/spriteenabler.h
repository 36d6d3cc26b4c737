// skvSpriteEnabler: switches a trigger on once the stream has delivered what its animation
// needs, so that a sprite reacts to clicks only when its scorelet can play.
//
// Stored form, after the object header: int32 trigger.
#pragma once

#include <cstdint>

#include "core/object.h"

namespace skv {

class skvSpriteEnabler : public skvObject {
public:
    explicit skvSpriteEnabler(int32_t trigger = 0);

    // Enables the trigger on the score the stream has delivered; nothing without one.
    void attach(StreamContext* stream) override;
    int32_t sizeHint() override { return 4; }
    void serialize(uArchive& ar) override;

    int32_t triggerNumber;
};

} // namespace skv
