// Browser: skvplay's side of the plug-in interface. It loads npskyv32 the way a browser does
// (NP_GetEntryPoints, NP_Initialize), makes one instance per movie embed of a page with the
// element's attributes as written, gives each a child window of the page window, delivers the
// embed source as a stream file, carries out the plug-in's URL requests and destroys everything
// again (destroy, NP_Shutdown). It offers get URL, get URL with notification and the status line.
//
// The page is laid out as a browser of the time lays out a page of embeds alone: they sit side by
// side from the top-left corner, on the page's colour (its <body bgcolor>, white when it gives
// none), and the page is as large as they are. The page window and the screen take that size, so
// a window session shows the page and nothing else. An embed written without a width or a height
// takes that dimension from its movie's stage window, which the plug-in sizes to the movie's
// stage when its first frame is shown: a movie opened directly shows at exactly its stage size.
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
    static constexpr uint32_t kDefaultPageColour = 0xFFFFFF;

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
    // The page's layout is brought up to date first (layOut), as this runs on every turn of the
    // message loop.
    bool runPendingRequests();
    // Sizes and places the embeds, the page window and the screen for the stages as they are
    // now; true when anything changed.
    bool layOut();

    HWND pageWindow() const { return page_; }
    // The colour the page shows where no movie covers it, as 0xRRGGBB.
    uint32_t pageColour() const { return pageColour_; }
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
    static LRESULT CALLBACK pageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    BrowserOptions options_;
    HMODULE module_ = nullptr;
    NPPluginFuncs plugin_{};
    NPNetscapeFuncs funcs_{};
    NP_ShutdownFunc shutdown_ = nullptr;
    HWND page_ = nullptr;
    uint32_t pageColour_ = kDefaultPageColour;
    HBRUSH pageBrush_ = nullptr;
    std::string base_;
    std::vector<std::unique_ptr<Instance>> instances_;
    std::deque<Request> pending_;
    std::vector<std::string> pageRequests_;
    std::string status_;
    int streamFiles_ = 0;
};

} // namespace skvplay
