#include "gfx/gfxclasses.h"

#include "core/classids.h"
#include "core/registry.h"
#include "gfx/palette.h"

namespace skv {

void registerGfxClasses() {
    static const ClassRegistration entries[] = {
        {CLSID_skvPalette, &makeObject<skvPalette>, "skvPalette"},
    };
    (void)entries;
}

} // namespace skv
