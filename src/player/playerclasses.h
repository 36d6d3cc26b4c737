// The serializable classes a movie stream may hold, registered for the player.
#pragma once

namespace skv {

// Registers every layer's stream classes (core, net, graphics, movie, script, sound); each class
// once however often it is called.
void registerPlayerClasses();

} // namespace skv
