#include "browser.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "fetch.h"
#include "platform/display.h"
#include "platform/shellapi.h"
#include "platform/win32.h"
#include "platform/wingdi.h"
#include "player/eventlog.h"

namespace skvplay {

namespace {

constexpr const char* kPageClass = "SkvplayPage";
constexpr const char* kPluginHostClass = "SkvplayPluginHost";
Browser* g_browser = nullptr;

bool registerClasses(WNDPROC proc) {
    static const bool ok = [proc] {
        // Both paint the page's colour (WM_ERASEBKGND): what a plug-in window's movie does not
        // cover is page, as in a browser.
        WNDCLASSA wc{};
        wc.lpfnWndProc = proc;
        wc.lpszClassName = kPageClass;
        if (!RegisterClassA(&wc)) return false;
        wc.lpszClassName = kPluginHostClass;
        return RegisterClassA(&wc) != 0;
    }();
    return ok;
}

// A width or height as written; 0 when absent or not a sane size.
int dimension(const EmbedElement& e, const char* name) {
    const std::string* v = e.find(name);
    const int n = v ? std::atoi(v->c_str()) : 0;
    return n > 0 && n <= 4096 ? n : 0;
}

// The movie's stage window inside a plug-in window: the child under its top-left corner, where
// the plug-in puts it. Null while there is none or it is hidden.
HWND stageWindowOf(HWND host) {
    POINT corner{0, 0};
    if (!ClientToScreen(host, &corner)) return nullptr;
    HWND w = WindowFromPoint(corner);
    while (w && w != host && GetParent(w) != host)
        w = GetParent(w);
    return w && w != host ? w : nullptr;
}

std::string lastComponent(const std::string& url) {
    const size_t cut = url.find_last_of("/\\:");
    std::string name = cut == std::string::npos ? url : url.substr(cut + 1);
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '-') c = '_';
    return name.empty() ? "stream" : name.substr(0, 64);
}

const char* mimeTypeFor(const std::string& url) {
    auto ends = [&](const char* s) {
        const size_t n = std::strlen(s);
        if (url.size() < n) return false;
        for (size_t i = 0; i < n; ++i)
            if (std::tolower(static_cast<unsigned char>(url[url.size() - n + i])) != s[i])
                return false;
        return true;
    };
    if (ends(".skm")) return "application/vnd.skyvora";
    if (ends(".txt")) return "text/plain";
    if (ends(".htm") || ends(".html")) return "text/html";
    return "application/octet-stream";
}

constexpr DWORD kPageStyle = WS_OVERLAPPEDWINDOW | WS_VISIBLE;

// The size of the page window whose client area (the page) is width x height: the frame and
// caption come on top, where the window system draws them.
SIZE pageWindowSize(int width, int height) {
    RECT r{0, 0, width, height};
    AdjustWindowRectEx(&r, kPageStyle, FALSE, 0);
    return SIZE{r.right - r.left, r.bottom - r.top};
}

// An export of the plug-in as the function type it has (through void(*)(), which every function
// type converts to and from without a warning).
template <class Call> Call pluginCall(FARPROC p) {
    return reinterpret_cast<Call>(reinterpret_cast<void (*)()>(p));
}

} // namespace

struct Browser::Instance {
    NPP_t npp{};
    HWND window = nullptr;
    // As written; 0 where the embed gives none and the stage decides.
    int givenWidth = 0, givenHeight = 0;
    NPWindow npWindow{};
    std::vector<std::string> names, values;
    std::vector<std::unique_ptr<NPStream>> streams;
    std::vector<std::unique_ptr<std::string>> urls;
    bool created = false;
};

Browser::Browser(BrowserOptions options) : options_(std::move(options)) {
    g_browser = this;
    std::error_code ec;
    if (options_.streamDir.empty())
        options_.streamDir =
            (std::filesystem::temp_directory_path(ec) / "skvplay-streams").string();
    if (std::filesystem::create_directory(options_.streamDir, ec))
        std::filesystem::permissions(options_.streamDir, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::replace, ec);
}

Browser::~Browser() {
    closePage();
    unloadPlugin();
    g_browser = nullptr;
}

LRESULT CALLBACK Browser::pageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_ERASEBKGND && g_browser && g_browser->pageBrush_) {
        RECT client;
        GetClientRect(window, &client);
        FillRect(reinterpret_cast<HDC>(wParam), &client, g_browser->pageBrush_);
        return 1;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

void Browser::note(const char* key, const std::string& text) {
    if (options_.log) options_.log->entry(key, text);
}

bool Browser::loadPlugin(std::string* error) {
    module_ = LoadLibraryA(options_.pluginName.c_str());
    if (!module_) {
        *error = "cannot load the plug-in " + options_.pluginName +
                 " (it is built beside skvplay; --plugin PATH names another)";
        return false;
    }
    // Its message boxes and sound are the session's to record.
    skv::platform::watchModule(module_);
    auto getEntryPoints =
        pluginCall<NP_GetEntryPointsFunc>(GetProcAddress(module_, "NP_GetEntryPoints"));
    auto initialize = pluginCall<NP_InitializeFunc>(GetProcAddress(module_, "NP_Initialize"));
    shutdown_ = pluginCall<NP_ShutdownFunc>(GetProcAddress(module_, "NP_Shutdown"));
    if (!getEntryPoints || !initialize || !shutdown_) {
        *error = options_.pluginName + " is not a plug-in: its entry points are missing";
        return false;
    }
    plugin_ = NPPluginFuncs{};
    plugin_.size = sizeof plugin_;
    if (NPError e = getEntryPoints(&plugin_); e != NPERR_NO_ERROR) {
        *error = "NP_GetEntryPoints failed with " + std::to_string(e);
        return false;
    }
    funcs_ = NPNetscapeFuncs{};
    funcs_.size = sizeof funcs_;
    funcs_.version = (NP_VERSION_MAJOR << 8) | (options_.oldBrowser ? 8 : NP_VERSION_MINOR);
    funcs_.geturl = npnGetUrl;
    funcs_.status = npnStatus;
    funcs_.uagent = npnUserAgent;
    funcs_.geturlnotify = npnGetUrlNotify;
    if (NPError e = initialize(&funcs_); e != NPERR_NO_ERROR) {
        *error = "NP_Initialize failed with " + std::to_string(e);
        return false;
    }
    return true;
}

void* Browser::pluginSymbol(const char* name) const {
    return module_ ? reinterpret_cast<void*>(GetProcAddress(module_, name)) : nullptr;
}

bool Browser::openPage(const std::vector<EmbedElement>& embeds, const std::string& base,
                       std::string* error) {
    base_ = base;
    if (!registerClasses(&Browser::pageProc)) {
        *error = "cannot register the page's window classes";
        return false;
    }
    std::vector<const EmbedElement*> movies;
    for (const EmbedElement& e : embeds)
        if (isMovieEmbed(e)) movies.push_back(&e);
    if (movies.empty()) {
        *error = "the page has no <embed> of type application/vnd.skyvora or with a .skm src";
        return false;
    }
    pageColour_ = kDefaultPageColour;
    if (uint32_t rgb = 0; parseHtmlColour(movies.front()->pageColour, &rgb)) pageColour_ = rgb;
    if (pageBrush_) DeleteObject(pageBrush_);
    pageBrush_ =
        CreateSolidBrush(RGB(pageColour_ >> 16, (pageColour_ >> 8) & 0xFF, pageColour_ & 0xFF));
    // The page window starts at the embeds' sizes as written (the default where none is);
    // layOut() takes it from there.
    int pageWidth = 0, pageHeight = 0;
    for (const EmbedElement* e : movies) {
        const int w = dimension(*e, "width"), h = dimension(*e, "height");
        pageWidth += w ? w : kDefaultWidth;
        pageHeight = std::max(pageHeight, h ? h : kDefaultHeight);
    }
    skv::platform::setScreenSize(pageWidth, pageHeight);
    const SIZE outer = pageWindowSize(pageWidth, pageHeight);
    page_ = CreateWindowExA(0, kPageClass, "skvplay", kPageStyle, 0, 0, outer.cx, outer.cy, nullptr,
                            nullptr, nullptr, nullptr);
    if (!page_) {
        *error = "cannot create the page window";
        return false;
    }
    int x = 0;
    for (const EmbedElement* e : movies) {
        auto inst = std::make_unique<Instance>();
        inst->npp.ndata = this;
        inst->givenWidth = dimension(*e, "width");
        inst->givenHeight = dimension(*e, "height");
        const int w = inst->givenWidth ? inst->givenWidth : kDefaultWidth;
        const int h = inst->givenHeight ? inst->givenHeight : kDefaultHeight;
        for (const auto& [n, v] : e->attributes) {
            inst->names.push_back(n);
            inst->values.push_back(v);
        }
        std::vector<char*> argn, argv;
        for (size_t i = 0; i < inst->names.size(); ++i) {
            argn.push_back(inst->names[i].data());
            argv.push_back(inst->values[i].data());
        }
        const std::string* type = e->find("type");
        std::string mime = type ? *type : "application/vnd.skyvora";
        NPError r =
            plugin_.newp(mime.data(), &inst->npp, NP_EMBED, static_cast<int16_t>(argn.size()),
                         argn.data(), argv.data(), nullptr);
        inst->created = r == NPERR_NO_ERROR;
        inst->window = CreateWindowExA(0, kPluginHostClass, "", WS_CHILD | WS_VISIBLE, x, 0, w, h,
                                       page_, nullptr, nullptr, nullptr);
        inst->npWindow.window = inst->window;
        inst->npWindow.x = x;
        inst->npWindow.y = 0;
        inst->npWindow.width = static_cast<uint32_t>(w);
        inst->npWindow.height = static_cast<uint32_t>(h);
        inst->npWindow.clipRect = NPRect{0, 0, static_cast<uint16_t>(h), static_cast<uint16_t>(w)};
        inst->npWindow.type = NPWindowTypeWindow;
        const NPError sw = plugin_.setwindow(&inst->npp, &inst->npWindow);
        note("instance", "embed " + std::to_string(instances_.size()) + ": new " +
                             std::to_string(r) + ", set window " + std::to_string(sw));
        x += w;
        Instance& ref = *inst;
        instances_.push_back(std::move(inst));
        // The embed source comes as the element's first stream.
        if (const std::string* src = e->find("src")) {
            const std::string url = resolveUrl(*src, base_);
            std::string body, err;
            if (fetchUrl(url, &body, &err))
                deliver(ref, url, body, mime.c_str(), nullptr, false);
            else
                note("urlFailed", url + ": " + err);
        }
    }
    layOut();
    return true;
}

bool Browser::layOut() {
    if (!page_) return false;
    bool changed = false;
    int x = 0, pageHeight = 0;
    for (auto& inst : instances_) {
        int w = static_cast<int>(inst->npWindow.width), h = static_cast<int>(inst->npWindow.height);
        if (!inst->givenWidth || !inst->givenHeight) {
            RECT stage;
            if (HWND s = stageWindowOf(inst->window); s && GetWindowRect(s, &stage)) {
                // The stage's extent in its plug-in window, whose origin is the window's own.
                POINT origin{0, 0};
                ClientToScreen(inst->window, &origin);
                if (!inst->givenWidth) w = std::max<int>(1, stage.right - origin.x);
                if (!inst->givenHeight) h = std::max<int>(1, stage.bottom - origin.y);
            }
        }
        if (w != static_cast<int>(inst->npWindow.width) ||
            h != static_cast<int>(inst->npWindow.height) || x != inst->npWindow.x) {
            changed = true;
            SetWindowPos(inst->window, nullptr, x, 0, w, h, SWP_NOZORDER | SWP_NOACTIVATE);
            inst->npWindow.x = x;
            inst->npWindow.width = static_cast<uint32_t>(w);
            inst->npWindow.height = static_cast<uint32_t>(h);
            inst->npWindow.clipRect =
                NPRect{0, 0, static_cast<uint16_t>(h), static_cast<uint16_t>(w)};
            // As a browser does when an embed's box changes.
            if (plugin_.setwindow) plugin_.setwindow(&inst->npp, &inst->npWindow);
        }
        x += w;
        pageHeight = std::max(pageHeight, h);
    }
    RECT page;
    GetClientRect(page_, &page);
    if (page.right != x || page.bottom != pageHeight) {
        changed = true;
        const SIZE outer = pageWindowSize(x, pageHeight);
        SetWindowPos(page_, nullptr, 0, 0, outer.cx, outer.cy, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    const SIZE screen = skv::platform::screenSize();
    if (screen.cx != x || screen.cy != pageHeight) {
        changed = true;
        skv::platform::setScreenSize(x, pageHeight);
    }
    return changed;
}

void Browser::closePage() {
    for (auto& inst : instances_) {
        NPSavedData* saved = nullptr;
        if (plugin_.destroy) plugin_.destroy(&inst->npp, &saved);
        if (inst->window) DestroyWindow(inst->window);
    }
    instances_.clear();
    pending_.clear();
    if (page_) DestroyWindow(page_);
    page_ = nullptr;
    if (pageBrush_) DeleteObject(pageBrush_);
    pageBrush_ = nullptr;
}

void Browser::unloadPlugin() {
    if (shutdown_) shutdown_();
    shutdown_ = nullptr;
    if (module_) FreeLibrary(module_);
    module_ = nullptr;
}

Browser::Instance* Browser::find(NPP instance) {
    for (auto& inst : instances_)
        if (&inst->npp == instance) return inst.get();
    return nullptr;
}

void Browser::deliver(Instance& inst, const std::string& url, const std::string& body,
                      const char* mimeType, void* notifyData, bool notify) {
    const std::string file =
        options_.streamDir + "/" + std::to_string(++streamFiles_) + "-" + lastComponent(url);
    {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(body.data(), static_cast<std::streamsize>(body.size()));
    }
    inst.urls.push_back(std::make_unique<std::string>(url));
    auto stream = std::make_unique<NPStream>();
    stream->ndata = this;
    stream->url = inst.urls.back()->c_str();
    stream->end = static_cast<uint32_t>(body.size());
    stream->notifyData = notifyData;
    NPStream* s = stream.get();
    inst.streams.push_back(std::move(stream));
    uint16_t type = NP_NORMAL;
    std::string mime = mimeType;
    if (plugin_.newstream(&inst.npp, mime.data(), s, 0, &type) == NPERR_NO_ERROR) {
        if (type == NP_ASFILE || type == NP_NORMAL) {
            // The bytes are offered too; this plug-in takes them and keeps to the file.
            std::string copy = body;
            if (!copy.empty() && plugin_.writeready(&inst.npp, s) > 0)
                plugin_.write(&inst.npp, s, 0, static_cast<int32_t>(copy.size()), copy.data());
        }
        plugin_.asfile(&inst.npp, s, file.c_str());
        plugin_.destroystream(&inst.npp, s, NPRES_DONE);
    }
    note("urlDelivered", url + " -> " + file);
    if (notify && plugin_.urlnotify)
        plugin_.urlnotify(&inst.npp, url.c_str(), NPRES_DONE, notifyData);
}

NPError Browser::request(NPP instance, const char* url, const char* target, void* notifyData,
                         bool notify) {
    if (!url || !*url) return NPERR_INVALID_URL;
    if (!find(instance)) return NPERR_INVALID_INSTANCE_ERROR;
    const std::string absolute = resolveUrl(url, base_);
    if (target && *target) {
        // A page for the browser to show: it replaces the page that holds the movie.
        pageRequests_.push_back(absolute);
        note("page", absolute);
        std::printf("skvplay: the movie opens the page %s\n", absolute.c_str());
        std::fflush(stdout);
        if (options_.openPages) {
            const auto shown = reinterpret_cast<intptr_t>(
                ShellExecuteA(nullptr, "open", absolute.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
            if (shown <= 32)
                std::fprintf(stderr,
                             "skvplay: cannot start the desktop's program for %s (error %d)\n",
                             absolute.c_str(), static_cast<int>(shown));
        }
        if (notify) pending_.push_back({instance, absolute, notifyData, true});
        return NPERR_NO_ERROR;
    }
    note("urlRequest", absolute);
    pending_.push_back({instance, absolute, notifyData, notify});
    return NPERR_NO_ERROR;
}

bool Browser::runPendingRequests() {
    layOut();
    if (pending_.empty()) return false;
    Request r = pending_.front();
    pending_.pop_front();
    Instance* inst = find(r.instance);
    if (!inst) return true;
    std::string body, error;
    if (fetchUrl(r.url, &body, &error)) {
        deliver(*inst, r.url, body, mimeTypeFor(r.url), r.notifyData, r.notify);
    } else {
        note("urlFailed", r.url + ": " + error);
        if (r.notify && plugin_.urlnotify)
            plugin_.urlnotify(&inst->npp, r.url.c_str(), NPRES_NETWORK_ERR, r.notifyData);
    }
    return true;
}

NPError Browser::npnGetUrl(NPP instance, const char* url, const char* target) {
    return g_browser ? g_browser->request(instance, url, target, nullptr, false)
                     : NPERR_GENERIC_ERROR;
}

NPError Browser::npnGetUrlNotify(NPP instance, const char* url, const char* target,
                                 void* notifyData) {
    return g_browser ? g_browser->request(instance, url, target, notifyData, true)
                     : NPERR_GENERIC_ERROR;
}

void Browser::npnStatus(NPP instance, const char* message) {
    if (!g_browser || !message) return;
    g_browser->status_ = message;
    g_browser->note("statusLine", message);
    if (g_browser->options_.onStatus) g_browser->options_.onStatus(message);
}

const char* Browser::npnUserAgent(NPP) {
    return "skvplay/1.7";
}

} // namespace skvplay
