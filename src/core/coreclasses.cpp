#include "core/classids.h"
#include "core/endmarkers.h"
#include "core/object.h"
#include "core/objectmanager.h"
#include "core/registry.h"

namespace skv {

void registerCoreClasses() {
    static const ClassRegistration entries[] = {
        {CLSID_skvObject, &makeObject<skvObject>, "skvObject"},
        {CLSID_NTrailer, &makeObject<NTrailer>, "NTrailer"},
        {CLSID_NChain, &makeObject<NChain>, "NChain"},
        {CLSID_qmsObjectManager, &makeObject<qmsObjectManager>, "qmsObjectManager"},
    };
    (void)entries;
}

} // namespace skv
