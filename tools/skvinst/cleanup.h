// What Setup does at every exit: when it was unpacked from a self-extracting package (the mark
// file selfextr.id is beside it), it removes its files and has itself removed at the next start
// of the system.
#pragma once

namespace skvinst {

void cleanUp();

} // namespace skvinst
