// Setup's command line: words separated by spaces or by the switch characters '-', '/' and '\',
// so "/NOEULA", "-noeula" and "x\NoEula" all name the word NOEULA. The one word Setup knows,
// NOEULA (in any case), skips the licence agreement.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace skvinst {

// The words of a command line, without the separators; empty words are left out.
std::vector<std::string> splitCommandLine(std::string_view commandLine);

// Whether the licence agreement is shown: true unless a word equals NOEULA ignoring case.
bool showsLicense(std::string_view commandLine);

} // namespace skvinst
