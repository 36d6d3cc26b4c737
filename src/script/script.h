// skvScript: one compiled script of a movie. Its stored body is int32 L and the L bytes of its
// ScriptBlock.
#pragma once

#include <cstdint>
#include <memory>

#include "core/object.h"
#include "script/scriptblock.h"

namespace skv {

class skvScript : public skvObject {
public:
    skvScript();

    // The block's length; 0 while there is none.
    int32_t sizeHint() override;
    void serialize(uArchive& ar) override;

    // The lowest handler index with that nameId, or -1.
    int32_t findHandler(int32_t nameId) const { return block ? block->findHandler(nameId) : -1; }

    std::unique_ptr<ScriptBlock> block;
};

} // namespace skv
