// printf-style formatting into a string of whatever length the arguments need, for the texts
// that carry paths (which may be long) and error codes.
#pragma once

#include <string>

namespace skvinst {

__attribute__((format(gnu_printf, 1, 2))) std::string formatText(const char* format, ...);

} // namespace skvinst
