#include "net/netclasses.h"

#include "core/classids.h"
#include "core/registry.h"
#include "net/ratemap.h"

namespace skv {

void registerNetClasses() {
    static const ClassRegistration entries[] = {
        {CLSID_skvRateMap, &makeObject<skvRateMap>, "skvRateMap"},
    };
    (void)entries;
}

} // namespace skv
