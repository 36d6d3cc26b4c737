#include "movie/authorinfo.h"

#include <cstring>

#include "core/archive.h"
#include "core/classids.h"

namespace skv {

skvAuthorInfo::skvAuthorInfo() {
    setClassId(CLSID_skvAuthorInfo);
    // Found in the object store under its class identifier, like the score.
    objectId = CLSID_skvAuthorInfo;
}

void skvAuthorInfo::setText(int index, const char* value) {
    if (index < 0 || index >= kTexts) return;
    std::strncpy(texts[index], value ? value : "", kTextCapacity - 1);
    texts[index][kTextCapacity - 1] = '\0';
}

const char* skvAuthorInfo::text(int index) const {
    return index >= 0 && index < kTexts ? texts[index] : "";
}

void skvAuthorInfo::recomputeSizeHint() {
    int32_t total = 24;
    for (const auto& t : texts)
        total += static_cast<int32_t>(strnlen(t, kTextCapacity));
    infoSizeHint = total;
}

void skvAuthorInfo::serialize(uArchive& ar) {
    if (ar.isStoring()) {
        // The header carries the size hint too, so it is brought up to date first.
        recomputeSizeHint();
        skvObject::serialize(ar);
        ar.writeInt32(infoSizeHint);
        for (const auto& t : texts)
            ar.writeString(t);
        ar.write(valueA, sizeof valueA);
        ar.writeInt32(countA);
        ar.write(valueB, sizeof valueB);
        ar.writeInt32(countB);
        return;
    }
    infoSizeHint = ar.readInt32();
    for (auto& t : texts)
        ar.readStringInto(t, kTextCapacity);
    ar.read(valueA, sizeof valueA);
    countA = ar.readInt32();
    ar.read(valueB, sizeof valueB);
    countB = ar.readInt32();
}

} // namespace skv
