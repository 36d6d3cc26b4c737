// Windows paths as Setup builds them: a directory and a name joined with one backslash (a drive's
// root already ends with one), and a program's directory as its path up to the last backslash.
#pragma once

#include <string>
#include <string_view>

namespace skvinst {

std::string joinPath(std::string_view directory, std::string_view name);

// The part before the last backslash ("C:\Temp\skvinst.exe" -> "C:\Temp"); a path in a drive's
// root keeps its backslash ("C:\skvinst.exe" -> "C:\"). Empty without a backslash.
std::string directoryOf(std::string_view path);

} // namespace skvinst
