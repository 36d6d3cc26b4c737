// The browser plug-in interface as this module sees it: the records the browser and the plug-in
// pass each other and the two function tables. Written from the interface's published
// description; only what this module and its test browser use is declared.
//
// | record          | fields (in order)                                                        |
// |-----------------|--------------------------------------------------------------------------|
// | NPP_t           | pdata (the plug-in's), ndata (the browser's)                              |
// | NPStream        | pdata, ndata, url, end (announced end offset), lastmodified, notifyData   |
// | NPWindow        | window handle, x, y, width, height, clipRect, ws_info, type               |
// | NPPluginFuncs   | size, version, then the plug-in's callbacks in the order the browser uses |
// | NPNetscapeFuncs | size, version, then the browser's functions                               |
//
// A version is (major << 8) | minor. The browser passes URL notification only from minor 9 on.
#pragma once

#include <cstdint>

// WINAPI: the module's three entry points use the system's calling convention.
#include "platform/windef.h"

extern "C" {

typedef int16_t NPError;
typedef int16_t NPReason;
typedef char* NPMIMEType;
typedef unsigned char NPBool;

constexpr NPError NPERR_NO_ERROR = 0;
constexpr NPError NPERR_GENERIC_ERROR = 1;
constexpr NPError NPERR_INVALID_INSTANCE_ERROR = 2;
constexpr NPError NPERR_INVALID_FUNCTABLE_ERROR = 3;
constexpr NPError NPERR_MODULE_LOAD_FAILED_ERROR = 4;
constexpr NPError NPERR_OUT_OF_MEMORY_ERROR = 5;
constexpr NPError NPERR_INVALID_PLUGIN_ERROR = 6;
constexpr NPError NPERR_INVALID_PLUGIN_DIR_ERROR = 7;
constexpr NPError NPERR_INCOMPATIBLE_VERSION_ERROR = 8;
constexpr NPError NPERR_INVALID_PARAM = 9;
constexpr NPError NPERR_INVALID_URL = 10;
constexpr NPError NPERR_FILE_NOT_FOUND = 11;
constexpr NPError NPERR_NO_DATA = 12;
constexpr NPError NPERR_STREAM_NOT_SEEKABLE = 13;

constexpr NPReason NPRES_DONE = 0;
constexpr NPReason NPRES_NETWORK_ERR = 1;
constexpr NPReason NPRES_USER_BREAK = 2;

// How the plug-in wants a stream: pushed, seekable, pushed and also as a file, or a file only.
constexpr uint16_t NP_NORMAL = 1;
constexpr uint16_t NP_SEEK = 2;
constexpr uint16_t NP_ASFILE = 3;
constexpr uint16_t NP_ASFILEONLY = 4;
// How the element embeds the plug-in.
constexpr uint16_t NP_EMBED = 1;
constexpr uint16_t NP_FULL = 2;

constexpr uint16_t NP_VERSION_MAJOR = 0;
constexpr uint16_t NP_VERSION_MINOR = 9;

typedef struct NPP_t {
    void* pdata;
    void* ndata;
} NPP_t;
typedef NPP_t* NPP;

typedef struct NPStream {
    void* pdata;
    void* ndata;
    const char* url;
    uint32_t end;
    uint32_t lastmodified;
    void* notifyData;
} NPStream;

typedef struct NPSavedData {
    int32_t len;
    void* buf;
} NPSavedData;

typedef struct NPRect {
    uint16_t top, left, bottom, right;
} NPRect;

enum NPWindowType { NPWindowTypeWindow = 1, NPWindowTypeDrawable = 2 };

typedef struct NPWindow {
    void* window; // the plug-in window's HWND
    int32_t x, y; // its position in the page
    uint32_t width, height;
    NPRect clipRect;
    void* ws_info;
    NPWindowType type;
} NPWindow;

typedef struct NPPrint NPPrint;

typedef NPError (*NPP_NewProc)(NPMIMEType type, NPP instance, uint16_t mode, int16_t argc,
                               char* argn[], char* argv[], NPSavedData* saved);
typedef NPError (*NPP_DestroyProc)(NPP instance, NPSavedData** save);
typedef NPError (*NPP_SetWindowProc)(NPP instance, NPWindow* window);
typedef NPError (*NPP_NewStreamProc)(NPP instance, NPMIMEType type, NPStream* stream,
                                     NPBool seekable, uint16_t* stype);
typedef NPError (*NPP_DestroyStreamProc)(NPP instance, NPStream* stream, NPReason reason);
typedef void (*NPP_StreamAsFileProc)(NPP instance, NPStream* stream, const char* fname);
typedef int32_t (*NPP_WriteReadyProc)(NPP instance, NPStream* stream);
typedef int32_t (*NPP_WriteProc)(NPP instance, NPStream* stream, int32_t offset, int32_t len,
                                 void* buffer);
typedef void (*NPP_PrintProc)(NPP instance, NPPrint* platformPrint);
typedef int16_t (*NPP_HandleEventProc)(NPP instance, void* event);
typedef void (*NPP_URLNotifyProc)(NPP instance, const char* url, NPReason reason, void* notifyData);

typedef struct NPPluginFuncs {
    uint16_t size;
    uint16_t version;
    NPP_NewProc newp;
    NPP_DestroyProc destroy;
    NPP_SetWindowProc setwindow;
    NPP_NewStreamProc newstream;
    NPP_DestroyStreamProc destroystream;
    NPP_StreamAsFileProc asfile;
    NPP_WriteReadyProc writeready;
    NPP_WriteProc write;
    NPP_PrintProc print;
    NPP_HandleEventProc event;
    NPP_URLNotifyProc urlnotify;
    void* javaClass;
} NPPluginFuncs;

typedef NPError (*NPN_GetURLProc)(NPP instance, const char* url, const char* target);
typedef NPError (*NPN_PostURLProc)(NPP instance, const char* url, const char* target, uint32_t len,
                                   const char* buf, NPBool file);
typedef NPError (*NPN_RequestReadProc)(NPStream* stream, void* rangeList);
typedef NPError (*NPN_NewStreamProc)(NPP instance, NPMIMEType type, const char* target,
                                     NPStream** stream);
typedef int32_t (*NPN_WriteProc)(NPP instance, NPStream* stream, int32_t len, void* buffer);
typedef NPError (*NPN_DestroyStreamProc)(NPP instance, NPStream* stream, NPReason reason);
typedef void (*NPN_StatusProc)(NPP instance, const char* message);
typedef const char* (*NPN_UserAgentProc)(NPP instance);
typedef void* (*NPN_MemAllocProc)(uint32_t size);
typedef void (*NPN_MemFreeProc)(void* ptr);
typedef uint32_t (*NPN_MemFlushProc)(uint32_t size);
typedef void (*NPN_ReloadPluginsProc)(NPBool reloadPages);
typedef NPError (*NPN_GetURLNotifyProc)(NPP instance, const char* url, const char* target,
                                        void* notifyData);

typedef struct NPNetscapeFuncs {
    uint16_t size;
    uint16_t version;
    NPN_GetURLProc geturl;
    NPN_PostURLProc posturl;
    NPN_RequestReadProc requestread;
    NPN_NewStreamProc newstream;
    NPN_WriteProc write;
    NPN_DestroyStreamProc destroystream;
    NPN_StatusProc status;
    NPN_UserAgentProc uagent;
    NPN_MemAllocProc memalloc;
    NPN_MemFreeProc memfree;
    NPN_MemFlushProc memflush;
    NPN_ReloadPluginsProc reloadplugins;
    void* getJavaEnv;
    void* getJavaPeer;
    NPN_GetURLNotifyProc geturlnotify;
} NPNetscapeFuncs;

// The module's exports, as a browser looks them up.
typedef NPError(WINAPI* NP_GetEntryPointsFunc)(NPPluginFuncs* pluginFuncs);
typedef NPError(WINAPI* NP_InitializeFunc)(NPNetscapeFuncs* browserFuncs);
typedef NPError(WINAPI* NP_ShutdownFunc)(void);
typedef const char* (*NP_GetMIMEDescriptionFunc)(void);

} // extern "C"
