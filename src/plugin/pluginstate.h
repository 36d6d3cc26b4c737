// What the module keeps for the whole process: the browser's function table, the table of the
// plug-in's callbacks it handed out, and the one live instance. Everything here is touched on the
// browser's thread, except that the current instance is read from the player's threads too.
#pragma once

#include <atomic>

#include "plugin/npapi.h"

namespace skv::plugin {

struct ModuleState {
    NPNetscapeFuncs* browser = nullptr;
    NPPluginFuncs* callbacks = nullptr;
    std::atomic<NPP> currentInstance{nullptr};
    void* parentWindow = nullptr; // the plug-in window's parent, recorded at window set-up
};

ModuleState& moduleState();

// The browser's minor version (0 when no browser table is known).
int browserMinorVersion();

// The browser's functions, each a no-op (or NPERR_INCOMPATIBLE_VERSION_ERROR) without a browser.
void showStatus(NPP instance, const char* text);
NPError getUrl(NPP instance, const char* url, const char* target);
// Only browsers of minor version 9 or more notify; older ones get nothing and the call yields 8.
NPError getUrlNotify(NPP instance, const char* url, const char* target, void* notifyData);

} // namespace skv::plugin
