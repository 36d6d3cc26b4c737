// The few questions Setup asks of the file system.
#pragma once

#include <string>

namespace skvinst {

bool isFile(const std::string& path);
bool isDirectory(const std::string& path);

// The path of Setup's own program; empty when the system does not tell it.
std::string programPath();

} // namespace skvinst
