#include "spriteform.h"

#include "core/archive.h"
#include "core/registry.h"

namespace skvc {

void AuthoredSprite::serialize(skv::uArchive& ar) {
    nDIB::serialize(ar);
    int32_t* fields[] = {&left,          &top,       &reserved50,   &registrationX,
                         &registrationY, &reserved1, &triggerNumber};
    for (int32_t* f : fields)
        ar.serializeInt32(*f);
}

void registerAuthoringClasses() {
    if (skv::isClassRegistered(skv::CLSID_NSprite)) return;
    static const skv::ClassRegistration entry{skv::CLSID_NSprite, &skv::makeObject<AuthoredSprite>,
                                              "NSprite"};
    (void)entry;
}

} // namespace skvc
