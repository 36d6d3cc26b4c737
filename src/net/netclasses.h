// Registration of the network layer's stream classes.
#pragma once

namespace skv {

// Registers skvRateMap; each class once however often it is called.
void registerNetClasses();

} // namespace skv
