// The checks on a movie's scripts that need all of them: a call by name must reach a handler of a
// movie script or a built-in, and a handler named nearly like an event (and called by nothing) is
// most likely a misspelt event handler.
#pragma once

#include <map>
#include <vector>

#include "diag.h"
#include "members.h"

namespace skvc {

// Throws BuildError at the first call that reaches nothing; adds a warning for each handler whose
// name is an event's with a typo. `members` are all compiled members by number.
void checkScripts(const std::map<int32_t, const CompiledMember*>& members,
                  std::vector<BuildWarning>* warnings);

} // namespace skvc
