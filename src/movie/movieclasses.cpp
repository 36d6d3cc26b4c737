#include "movie/movieclasses.h"

#include "core/classids.h"
#include "core/registry.h"
#include "movie/authorinfo.h"
#include "movie/score.h"
#include "movie/scorelet.h"
#include "movie/spriteenabler.h"

namespace skv {

void registerMovieClasses() {
    static const ClassRegistration entries[] = {
        {CLSID_skvScore, &makeObject<skvScore>, "skvScore"},
        {CLSID_skvScorelet, &makeObject<skvScorelet>, "skvScorelet"},
        {CLSID_skvSpriteEnabler, &makeObject<skvSpriteEnabler>, "skvSpriteEnabler"},
        {CLSID_skvAuthorInfo, &makeObject<skvAuthorInfo>, "skvAuthorInfo"},
    };
    (void)entries;
}

} // namespace skv
