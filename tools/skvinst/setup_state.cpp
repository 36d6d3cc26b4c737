#include "setup_state.h"

namespace skvinst {

SetupState setup;

} // namespace skvinst
