#include "plugin/pluginstate.h"

namespace skv::plugin {

ModuleState& moduleState() {
    static ModuleState state;
    return state;
}

int browserMinorVersion() {
    const NPNetscapeFuncs* b = moduleState().browser;
    return b ? (b->version & 0xFF) : 0;
}

void showStatus(NPP instance, const char* text) {
    const NPNetscapeFuncs* b = moduleState().browser;
    if (b && b->status) b->status(instance, text);
}

NPError getUrl(NPP instance, const char* url, const char* target) {
    const NPNetscapeFuncs* b = moduleState().browser;
    if (!b || !b->geturl) return NPERR_INCOMPATIBLE_VERSION_ERROR;
    return b->geturl(instance, url, target);
}

NPError getUrlNotify(NPP instance, const char* url, const char* target, void* notifyData) {
    const NPNetscapeFuncs* b = moduleState().browser;
    if (!b || browserMinorVersion() < NP_VERSION_MINOR || !b->geturlnotify)
        return NPERR_INCOMPATIBLE_VERSION_ERROR;
    return b->geturlnotify(instance, url, target, notifyData);
}

} // namespace skv::plugin
