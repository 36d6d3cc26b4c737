// Registration of the movie model's stream classes.
#pragma once

namespace skv {

// Registers skvScore, skvScorelet, skvSpriteEnabler and skvAuthorInfo; each class once however
// often it is called.
void registerMovieClasses();

} // namespace skv
