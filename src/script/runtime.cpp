#include "script/runtime.h"

#include "core/archive.h"
#include "core/classids.h"

namespace skv {

skvScriptRuntime::skvScriptRuntime() : engine(std::make_unique<ScriptEngine>()) {
    setClassId(CLSID_skvScriptRuntime);
}

void skvScriptRuntime::serialize(uArchive& ar) {
    skvObject::serialize(ar);
    ar.serializeInt32(noScripts);
    if (noScripts == 0) engine->serializeBody(ar);
}

} // namespace skv
