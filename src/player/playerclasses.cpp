#include "player/playerclasses.h"

#include "core/registry.h"
#include "gfx/gfxclasses.h"
#include "movie/movieclasses.h"
#include "net/netclasses.h"
#include "script/scriptclasses.h"
#include "sound/soundclasses.h"

namespace skv {

void registerPlayerClasses() {
    registerCoreClasses();
    registerNetClasses();
    registerGfxClasses();
    registerMovieClasses();
    registerScriptClasses();
    registerSoundClasses();
}

} // namespace skv
