// Script source to its syntax tree. Every error of the text is reported, each with its line and
// column; after an error the parser goes on at the next line.
#pragma once

#include <string_view>
#include <vector>

#include "script/langast.h"
#include "script/langlexer.h"

namespace skv {

// False when the text has errors (all of them in `errors`, in the order of the text).
bool langParse(std::string_view source, Script* out, std::vector<LangError>* errors);

} // namespace skv
