// skvc compile and skvc decompile: script source to a script block, and a movie's scripts back
// to script source.
#pragma once

#include <string>
#include <vector>

namespace skvc {

int compileCommand(const std::vector<std::string>& args);
int decompileCommand(const std::vector<std::string>& args);

} // namespace skvc
