// A syntax tree as script source (docs/scripting.md): what the decompiler writes. Parsing the
// text gives back the same tree, up to forms that compile alike (else if, put into).
#pragma once

#include <string>

#include "script/langast.h"

namespace skv {

std::string printScript(const Script& script);

} // namespace skv
