// Names in script assembly: #name stands for the name's index in the movie's name table.
#pragma once

#include <string>

#include "members.h"

namespace skvc {

// Replaces every #name outside texts and comments by its index, adding new names to the table.
// Lines stay where they are, so assembler errors keep their line numbers.
std::string resolveScriptNames(const std::string& text, NameTable& names);

} // namespace skvc
