#include "movie/spriteenabler.h"

#include "core/archive.h"
#include "core/classids.h"
#include "core/objectmanager.h"
#include "core/streamcontext.h"
#include "movie/score.h"

namespace skv {

skvSpriteEnabler::skvSpriteEnabler(int32_t trigger) : triggerNumber(trigger) {
    setClassId(CLSID_skvSpriteEnabler);
}

void skvSpriteEnabler::attach(StreamContext* stream) {
    qmsObjectManager* store = stream ? stream->getObjectManager() : nullptr;
    if (!store) return;
    if (auto* score = dynamic_cast<skvScore*>(store->find(CLSID_skvScore)))
        score->enableTrigger(triggerNumber);
}

void skvSpriteEnabler::serialize(uArchive& ar) {
    if (ar.isStoring()) skvObject::serialize(ar);
    ar.serializeInt32(triggerNumber);
}

} // namespace skv
