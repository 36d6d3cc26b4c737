// skvAuthorInfo: descriptive texts and values the authoring tool sends along with a movie. The
// player keeps it with the other streamed objects and reads none of it.
//
// Stored form, after the object header:
//
// | field     | type     | notes                                                    |
// |-----------|----------|----------------------------------------------------------|
// | size hint | int32    | 24 + the five texts' lengths, recomputed before writing |
// | texts 1-5 | string   | each read into 256 bytes, cut and kept zero-terminated   |
// | value A   | 8 bytes  |                                                          |
// | count A   | int32    |                                                          |
// | value B   | 8 bytes  |                                                          |
// | count B   | int32    |                                                          |
#pragma once

#include <cstdint>

#include "core/object.h"

namespace skv {

class skvAuthorInfo : public skvObject {
public:
    static constexpr int kTexts = 5;
    static constexpr int kTextCapacity = 256;

    skvAuthorInfo();

    int32_t sizeHint() override { return infoSizeHint; }
    void serialize(uArchive& ar) override;

    // Copies `value` into text `index` (0-4), cut to fit; ignored for other indices.
    void setText(int index, const char* value);
    const char* text(int index) const;

    char texts[kTexts][kTextCapacity]{};
    uint8_t valueA[8]{};
    int32_t countA = 0;
    uint8_t valueB[8]{};
    int32_t countB = 0;
    int32_t infoSizeHint = 24;

private:
    void recomputeSizeHint();
};

} // namespace skv
