// Browser: skvplay's side of the plug-in interface. It loads npskyv32 the way a browser does
// (NP_GetEntryPoints, NP_Initialize), makes one instance per movie embed of a page with the
// element's attributes as written, gives each a child window of the page window, delivers the
// embed source as a stream file, carries out the plug-in's URL requests and destroys everything
// again (destroy, NP_Shutdown). It offers get URL, get URL with notification and the status line.
//
// Everything runs on the thread that made the Browser; requests the plug-in makes are queued and
// carried out by runPendingRequests from the message loop, as a browser fetches asynchronously.
#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "page.h"
#include "platform/winuser.h"
#include "plugin/npapi.h"

namespace skv {
class EventLog;
}

namespace skvplay {

struct BrowserOptions {
    std::string pluginName = "npskyv32";
    // Pretend to be a browser of minor version 8, which cannot notify.
    bool oldBrowser = false;
    // Page requests go to the desktop's opener too.
    bool openPages = false;
    // Where stream files go (made if missing).
    std::string streamDir;
    skv::EventLog* log = nullptr;
    // Each status line text as the plug-in shows it.
    std::function<void(const std::string&)> onStatus;
};

class Browser {
public:
    static constexpr int kDefaultWidth = 512, kDefaultHeight = 384;

    explicit Browser(BrowserOptions options);
    ~Browser();
    Browser(const Browser&) = delete;
    Browser& operator=(const Browser&) = delete;

    bool loadPlugin(std::string* error);
    // The module's own export, for a harness that watches the instance; null when absent.
    void* pluginSymbol(const char* name) const;
    // Opens the page whose relative addresses resolve against `base`. False when no embed on
    // it is one for the plug-in.
    bool openPage(const std::vector<EmbedElement>& embeds, const std::string& base,
                  std::string* error);
    void closePage();
    void unloadPlugin();

    // Fetches and delivers what the plug-in asked for; true when there was something to do.
    bool runPendingRequests();

    HWND pageWindow() const { return page_; }
    const std::vector<std::string>& pageRequests() const { return pageRequests_; }
    const std::string& statusLine() const { return status_; }

private:
    struct Instance;
    struct Request {
        NPP instance;
        std::string url;
        void* notifyData;
        bool notify;
    };

    static NPError npnGetUrl(NPP instance, const char* url, const char* target);
    static NPError npnGetUrlNotify(NPP instance, const char* url, const char* target,
                                   void* notifyData);
    static void npnStatus(NPP instance, const char* message);
    static const char* npnUserAgent(NPP instance);

    Instance* find(NPP instance);
    NPError request(NPP instance, const char* url, const char* target, void* notifyData,
                    bool notify);
    void deliver(Instance& instance, const std::string& url, const std::string& body,
                 const char* mimeType, void* notifyData, bool notify);
    void note(const char* key, const std::string& text);

    BrowserOptions options_;
    HMODULE module_ = nullptr;
    NPPluginFuncs plugin_{};
    NPNetscapeFuncs funcs_{};
    NP_ShutdownFunc shutdown_ = nullptr;
    HWND page_ = nullptr;
    std::string base_;
    std::vector<std::unique_ptr<Instance>> instances_;
    std::deque<Request> pending_;
    std::vector<std::string> pageRequests_;
    std::string status_;
    int streamFiles_ = 0;
};

} // namespace skvplay
