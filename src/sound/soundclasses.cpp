#include "sound/soundclasses.h"

#include "core/classids.h"
#include "core/registry.h"
#include "sound/wave.h"

namespace skv {

void registerSoundClasses() {
    static const ClassRegistration entries[] = {
        {CLSID_NWave, &makeObject<NWave>, "NWave"},
    };
    (void)entries;
}

} // namespace skv
