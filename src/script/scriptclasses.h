// Registration of the script engine's stream classes.
#pragma once

namespace skv {

// Registers skvScriptRuntime and skvScript; each class once however often it is called.
void registerScriptClasses();

} // namespace skv
