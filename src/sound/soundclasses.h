// Registration of the sound layer's stream classes.
#pragma once

namespace skv {

// Registers NWave; each class once however often it is called.
void registerSoundClasses();

} // namespace skv
