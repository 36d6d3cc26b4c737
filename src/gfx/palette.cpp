#include "gfx/palette.h"

#include "core/archive.h"
#include "core/classids.h"
#include "core/guid.h"
#include "core/objectmanager.h"
#include "gfx/animation.h"
#include "gfx/view.h"

namespace skv {

skvPalette::skvPalette() {
    setClassId(CLSID_skvPalette);
}

void skvPalette::draw(skvView* view, const SpriteChannel* channel) {
    if (!view) return;
    if (nAnimation* stage = view->animation()) stage->setPalette(this);
}

void skvPalette::serialize(uArchive& ar) {
    if (ar.isStoring()) {
        skvObject::serialize(ar);
        ar.write(colours, sizeof colours);
    } else {
        ar.read(colours, sizeof colours);
    }
}

GUID paletteIdentity(int32_t number) {
    return memberGuid(number);
}

void installBuiltInPalettes(qmsObjectManager& store) {
    for (int32_t number : kBuiltInPaletteNumbers) {
        GUID id = paletteIdentity(number);
        if (store.find(id)) continue;
        auto* p = new skvBuiltInPalette();
        p->objectId = id;
        const RGBQUAD* colours = builtInColours(number);
        std::copy(colours, colours + 256, p->colours);
        store.add(p);
    }
}

} // namespace skv
