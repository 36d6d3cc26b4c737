#include "gfx/gfxclasses.h"

#include "core/classids.h"
#include "core/registry.h"
#include "gfx/palette.h"
#include "gfx/shape.h"
#include "gfx/sprite.h"
#include "gfx/text.h"

namespace skv {

void registerGfxClasses() {
    static const ClassRegistration entries[] = {
        {CLSID_skvPalette, &makeObject<skvPalette>, "skvPalette"},
        {CLSID_NSprite, &makeObject<NSprite>, "NSprite"},
        {CLSID_skvShape, &makeObject<skvShape>, "skvShape"},
        {CLSID_skvText, &makeObject<skvText>, "skvText"},
    };
    (void)entries;
}

} // namespace skv
