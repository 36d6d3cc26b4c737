// The stored form of a bitmap cast member: the nDIB form followed by seven int32 (left, top, a
// reserved 50, registration x and y, a reserved 1, trigger), under the bitmap member's class
// identifier.
//
// The builder writes bitmap members through this class. It reads the same form back so that a
// built movie can be checked by reading it and writing it again; skvc registers it for that class
// identifier only when no bitmap member class of the player's is registered.
#pragma once

#include <cstdint>

#include "gfx/dib.h"

namespace skvc {

class AuthoredSprite : public skv::nDIB {
public:
    AuthoredSprite() = default;

    int32_t sizeHint() override { return nDIB::sizeHint() + 24; }
    void serialize(skv::uArchive& ar) override;

    int32_t left = 0;
    int32_t top = 0;
    int32_t reserved50 = 50;
    int32_t registrationX = 0;
    int32_t registrationY = 0;
    int32_t reserved1 = 1;
    int32_t triggerNumber = 0;
};

// Registers AuthoredSprite under the bitmap member's identifier unless a class is registered
// there already.
void registerAuthoringClasses();

} // namespace skvc
