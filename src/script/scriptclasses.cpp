#include "script/scriptclasses.h"

#include "core/classids.h"
#include "core/registry.h"
#include "script/runtime.h"
#include "script/script.h"

namespace skv {

void registerScriptClasses() {
    static const ClassRegistration entries[] = {
        {CLSID_skvScriptRuntime, &makeObject<skvScriptRuntime>, "skvScriptRuntime"},
        {CLSID_skvScript, &makeObject<skvScript>, "skvScript"},
    };
    (void)entries;
}

} // namespace skv
