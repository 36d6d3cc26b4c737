#include "script/script.h"

#include "core/archive.h"
#include "core/classids.h"

namespace skv {

skvScript::skvScript() {
    setClassId(CLSID_skvScript);
}

int32_t skvScript::sizeHint() {
    return block ? static_cast<int32_t>(block->length()) : 0;
}

void skvScript::serialize(uArchive& ar) {
    skvObject::serialize(ar);
    if (ar.isStoring()) {
        // The length written is the one actually held, whatever the header's length word says,
        // so that the stored form always matches its own prefix.
        uint32_t n = block ? block->length() : 0;
        ar.writeInt32(static_cast<int32_t>(n));
        if (n) ar.write(block->data(), static_cast<int32_t>(n));
    } else {
        block = ScriptBlock::read(ar);
    }
}

} // namespace skv
