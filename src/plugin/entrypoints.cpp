// The module's exports and the callbacks it hands the browser. Every callback first checks that
// the browser's handle names the current instance; the module plays one movie at a time.
#include <cstring>

#include "core/abandon.h"
#include "core/registry.h"
#include "gfx/gfxclasses.h"
#include "movie/movieclasses.h"
#include "net/netclasses.h"
#include "plugin/npapi.h"
#include "plugin/observer.h"
#include "plugin/pluginstate.h"
#include "plugin/pluginwindow.h"
#include "plugin/registration.h"
#include "script/scriptclasses.h"
#include "script/scripterror.h"
#include "sound/soundclasses.h"

#define NP_EXPORT(type) extern "C" SKV_MODULE_EXPORT type

namespace skv::plugin {

namespace {

// The serializable classes are known from the moment the module is loaded.
const bool g_classesRegistered = [] {
    registerCoreClasses();
    registerGfxClasses();
    registerMovieClasses();
    registerScriptClasses();
    registerNetClasses();
    registerSoundClasses();
    return true;
}();

NPError newInstance(NPMIMEType, NPP instance, uint16_t mode, int16_t argc, char* argn[],
                    char* argv[], NPSavedData*) {
    if (moduleState().currentInstance.load()) return NPERR_NO_ERROR;
    if (!instance) return NPERR_INVALID_INSTANCE_ERROR;
    auto* window = new CPluginWindow(instance, mode);
    instance->pdata = window;
    window->readSize(argc, argn, argv);
    try {
        window->addParameters(argc, argn, argv);
    } catch (...) {
        // A full or unreadable attribute list keeps what it got; the movie still plays.
        abandoned("NPP_New", "the embed's attributes: %s", caughtScriptExceptionText().c_str());
    }
    moduleState().currentInstance.store(instance);
    return NPERR_NO_ERROR;
}

NPError destroyInstance(NPP instance, NPSavedData**) {
    CPluginWindow* window = currentWindow(instance);
    if (!window) return NPERR_INVALID_INSTANCE_ERROR;
    window->shutDown();
    delete window;
    instance->pdata = nullptr;
    moduleState().currentInstance.store(nullptr);
    return NPERR_NO_ERROR;
}

NPError setWindow(NPP instance, NPWindow* npWindow) {
    CPluginWindow* window = currentWindow(instance);
    if (!window) return NPERR_INVALID_INSTANCE_ERROR;
    return window->setWindow(npWindow);
}

NPError newStream(NPP instance, NPMIMEType type, NPStream* stream, NPBool, uint16_t* stype) {
    CPluginWindow* window = currentWindow(instance);
    if (!window) return NPERR_INVALID_INSTANCE_ERROR;
    window->recordStream(stream, type);
    if (stype) *stype = isMovieMimeType(type) ? NP_ASFILE : NP_ASFILEONLY;
    return NPERR_NO_ERROR;
}

NPError destroyStream(NPP instance, NPStream*, NPReason) {
    return currentWindow(instance) ? NPERR_NO_ERROR : NPERR_INVALID_INSTANCE_ERROR;
}

void streamAsFile(NPP instance, NPStream* stream, const char* fileName) {
    if (CPluginWindow* window = currentWindow(instance)) window->streamAsFile(stream, fileName);
}

int32_t writeReady(NPP instance, NPStream*) {
    return currentWindow(instance) ? 0x0FFFFFFF : NPERR_INVALID_INSTANCE_ERROR;
}

int32_t write(NPP instance, NPStream*, int32_t, int32_t length, void*) {
    return currentWindow(instance) ? length : NPERR_INVALID_INSTANCE_ERROR;
}

void print(NPP, NPPrint*) {}

void urlNotify(NPP instance, const char* url, NPReason reason, void* notifyData) {
    if (CPluginWindow* window = currentWindow(instance)) window->urlNotify(url, reason, notifyData);
}

} // namespace

} // namespace skv::plugin

using namespace skv::plugin;

NP_EXPORT(NPError) WINAPI NP_GetEntryPoints(NPPluginFuncs* funcs) {
    if (!funcs) return NPERR_INVALID_FUNCTABLE_ERROR;
    funcs->version = (NP_VERSION_MAJOR << 8) | NP_VERSION_MINOR;
    funcs->newp = newInstance;
    funcs->destroy = destroyInstance;
    funcs->setwindow = setWindow;
    funcs->newstream = newStream;
    funcs->destroystream = destroyStream;
    funcs->asfile = streamAsFile;
    funcs->writeready = writeReady;
    funcs->write = write;
    funcs->print = print;
    funcs->event = nullptr;
    moduleState().callbacks = funcs;
    return NPERR_NO_ERROR;
}

NP_EXPORT(NPError) WINAPI NP_Initialize(NPNetscapeFuncs* browser) {
    if (!browser) return NPERR_INVALID_FUNCTABLE_ERROR;
    moduleState().browser = browser;
    if ((browser->version >> 8) != NP_VERSION_MAJOR) return NPERR_INCOMPATIBLE_VERSION_ERROR;
    if ((browser->version & 0xFF) >= NP_VERSION_MINOR && moduleState().callbacks) {
        moduleState().callbacks->urlnotify = urlNotify;
        moduleState().callbacks->javaClass = nullptr;
    }
    return NPERR_NO_ERROR;
}

NP_EXPORT(NPError) WINAPI NP_Shutdown(void) {
    moduleState().browser = nullptr;
    return NPERR_NO_ERROR;
}

NP_EXPORT(const char*) NP_GetMIMEDescription(void) {
    return kMimeDescription;
}

NP_EXPORT(void) skvSetPluginObserver(PluginObserver* o) {
    setObserver(o);
}
