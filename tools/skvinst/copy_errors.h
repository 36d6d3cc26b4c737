// What Setup says when a file cannot be copied into a plugins directory, chosen by the system's
// error code (GetLastError after CopyFile).
#pragma once

#include <cstdint>
#include <string>

namespace skvinst {

struct CopyAttempt {
    std::string source;  // the file in Setup's directory
    std::string target;  // where it was going
    std::string plugins; // the plugins directory
};

std::string copyErrorMessage(uint32_t code, const CopyAttempt& attempt);

} // namespace skvinst
