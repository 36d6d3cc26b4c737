#include "core/classids.h"
#include "core/object.h"
#include "core/registry.h"

namespace skv {

void registerCoreClasses() {
    static const ClassRegistration entries[] = {
        {CLSID_skvObject, &makeObject<skvObject>, "skvObject"},
    };
    (void)entries;
}

} // namespace skv
