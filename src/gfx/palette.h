// skvPalette: 256 colours a frame can make the stage's colours, and the nine built-in palettes
// every player installs in its object store.
//
// A palette numbered n is kept under the identity memberGuid(n); positive numbers are palette
// cast members from the stream, negative numbers the built-ins (-1, -101, -102, -2 ... -7).
//
// Stored form of skvPalette, after the object header: the 1,024 colour bytes as they are in
// memory (blue, green, red, 0 per entry). Built-in palettes store nothing.
#pragma once

#include <cstdint>

#include "core/object.h"
#include "platform/wingdi.h"

namespace skv {

class qmsObjectManager;

class skvPalette : public skvObject {
public:
    skvPalette();

    int32_t sizeHint() override { return sizeof colours; }
    // Makes this the stage palette of the view's compositor.
    void draw(skvView* view, const SpriteChannel* channel) override;
    void serialize(uArchive& ar) override;

    RGBQUAD colours[256]{};
};

// A built-in palette: installed by the player itself, never stored.
class skvBuiltInPalette : public skvPalette {
public:
    int32_t sizeHint() override { return 0; }
    void serialize(uArchive& ar) override {}
};

// The built-in numbers in the order they are installed.
inline constexpr int32_t kBuiltInPaletteNumbers[9] = {-1, -101, -102, -2, -3, -4, -5, -6, -7};

// The identity a palette number is kept under in the object store.
GUID paletteIdentity(int32_t number);
// The 256 colours of a built-in palette, or null when the number names none.
const RGBQUAD* builtInColours(int32_t number);
inline bool isBuiltInPalette(int32_t number) {
    return builtInColours(number) != nullptr;
}
// Adds every built-in palette the store does not hold yet, in kBuiltInPaletteNumbers order.
void installBuiltInPalettes(qmsObjectManager& store);

} // namespace skv
