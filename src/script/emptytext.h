// The empty text built-ins and properties answer with: a text value with no text at all.
#pragma once

#include "script/scriptvalue.h"

namespace skv {

inline ScriptValue nullText() {
    return {vtString, 0, 0};
}

} // namespace skv
