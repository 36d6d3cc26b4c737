#include "core/endmarkers.h"

#include "core/archive.h"
#include "core/classids.h"

namespace skv {

NTrailer::NTrailer() {
    setClassId(CLSID_NTrailer);
}

void NTrailer::serialize(uArchive& ar) {
    skvObject::serialize(ar);
}

NChain::NChain() {
    setClassId(CLSID_NChain);
}

void NChain::serialize(uArchive& ar) {
    skvObject::serialize(ar);
    // The block is carried as is in both directions.
    if (ar.isStoring())
        ar.write(block, kBlockSize);
    else
        ar.read(block, kBlockSize);
}

} // namespace skv
