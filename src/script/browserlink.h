// BrowserLink: the page, text and preload requests scripts make through the browser, and the
// embed element's parameters. The plug-in instance provides it; the player hands it to the
// script host through PlayerLink::browser().
//
// Requests are started on the player's thread and carried out on the browser's; a request's net
// id is the index its result stream will take among the instance's streams.
#pragma once

#include <cstdint>
#include <string>

namespace skv {

class BrowserLink {
public:
    virtual ~BrowserLink() = default;

    // Each returns the net id of the request.
    virtual int32_t gotoNetPage(const char* url) = 0;
    virtual int32_t getNetText(const char* url) = 0;
    virtual int32_t preloadNetThing(const char* url) = 0;
    // 1 when request `id` has finished or is unknown; -1 names the latest.
    virtual int32_t netDone(int32_t id) = 0;
    // The text the latest text request fetched, or null; it stays the link's.
    virtual const char* netTextResult(int32_t id) = 0;
    // -1 when no stream was recorded yet.
    virtual int32_t getLatestNetID() = 0;
    // An embed parameter's value; false when the element has no such attribute.
    virtual bool parameter(const char* name, std::string* value) = 0;
};

} // namespace skv
