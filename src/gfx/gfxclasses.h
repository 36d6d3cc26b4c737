// Registration of the graphics layer's stream classes.
#pragma once

namespace skv {

// Registers skvPalette; each class once however often it is called.
void registerGfxClasses();

} // namespace skv
