// The page, text and preload requests of movie scripts. A request is made on the player's thread
// with the net id its result stream will get (the stream count now), posted to the plug-in
// window, started from the browser's thread with URL notification, and finished in urlNotify.
#include <cstring>

#include "net/netop.h"
#include "platform/win32.h"
#include "plugin/pluginstate.h"
#include "plugin/pluginwindow.h"

namespace skv::plugin {

int32_t CPluginWindow::startRequest(int32_t kind, UINT message, const char* url) {
    const int32_t id = streamCount_.load();
    auto* request = new netOp(kind, url, id);
    if (!PostMessageA(hwnd_, message, static_cast<WPARAM>(id), reinterpret_cast<LPARAM>(request)))
        delete request;
    return id;
}

int32_t CPluginWindow::gotoNetPage(const char* url) {
    return startRequest(netOp::kPage, msgGotoNetPage, url);
}

int32_t CPluginWindow::getNetText(const char* url) {
    return startRequest(netOp::kText, msgGetNetText, url);
}

int32_t CPluginWindow::preloadNetThing(const char* url) {
    return startRequest(netOp::kPreload, msgPreloadNetThing, url);
}

void CPluginWindow::sendRequest(void* data) {
    auto* request = static_cast<netOp*>(data);
    if (!request) return;
    // A browser that cannot notify would never hand the request back: it is not started, and
    // its id counts as finished because no stream is recorded for it.
    if (getUrlNotify(instance_, request->text(), nullptr, request) != NPERR_NO_ERROR)
        delete request;
}

void CPluginWindow::urlNotify(const char* url, NPReason reason, void* notifyData) {
    auto* request = static_cast<netOp*>(notifyData);
    if (!request) return;
    const int32_t id = request->value;
    StreamRecord* r = (id >= 0 && id < streamCount_.load()) ? streams_[id].get() : nullptr;
    std::lock_guard<std::mutex> guard(fileNameMutex_);
    switch (request->operation) {
    case netOp::kPage:
        getUrl(instance_, url, "_self");
        break;
    case netOp::kText:
        if (r && !r->fileName.empty()) lastTextFile_ = r->fileName;
        break;
    case netOp::kPreload:
        if (r && !r->fileName.empty()) lastPreloadFile_ = r->fileName;
        break;
    default:
        break;
    }
    if (r) r->done.store(1);
    delete request;
}

int32_t CPluginWindow::netDone(int32_t id) {
    const int32_t index = id == -1 ? streamCount_.load() - 1 : id;
    const StreamRecord* r = record(index);
    return r ? r->done.load() : 1;
}

const char* CPluginWindow::netTextResult(int32_t id) {
    const int32_t index = id == -1 ? streamCount_.load() - 1 : id;
    const StreamRecord* r = record(index);
    std::string fileName;
    if (r) {
        std::lock_guard<std::mutex> guard(fileNameMutex_);
        fileName = r->fileName;
    }
    if (fileName.empty()) return textResult_.get();
    HANDLE file = CreateFileA(fileName.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return textResult_.get();
    const DWORD size = GetFileSize(file, nullptr);
    // A text result is for a script to read: one beyond 16 MiB is not one.
    if (size != INVALID_FILE_SIZE && size > 0 && size <= (16u << 20)) {
        auto text = std::make_unique<char[]>(size + 1);
        DWORD got = 0;
        if (ReadFile(file, text.get(), size, &got, nullptr) && got > 0) {
            text[got] = '\0';
            textResult_ = std::move(text);
        }
    }
    CloseHandle(file);
    return textResult_.get();
}

} // namespace skv::plugin
