#include "net/stringtable.h"

#include <algorithm>
#include <cstring>

namespace skv {

namespace {

#define SKV_INCOMPATIBLE                                                                           \
    "The Quillon Skyvora Viewer is incompatible with the current server.  Please visit "

struct Entry {
    uint32_t id;
    const char* text;
};

constexpr Entry kEntries[] = {
    {1, "The Quillon Skyvora Viewer Plugin could not access the following URL\n\t"},
    {2, "Cannot create the Quillon Skyvora Viewer Plugin."},
    {3, "Cannot create Skyvora Viewer player."},
    {4, "Cannot create Skyvora Viewer object manager."},
    {5, "Connecting to server..."},
    {6, "Playing Skyvora Movie"},
    {7, "Streaming Skyvora Movie at %.2f K per second.  %d seconds remain before playback begins."},
    {8, SKV_INCOMPATIBLE SKV_MAKER_WEB_ADDRESS " to obtain a compatible viewer."},
    {9, "The Quillon Media Stream server is busy.  Try again later."},
    {10, "Unable to locate the Quillon Media Stream server."},
    {11, "The Quillon Media Stream server has reported an unknown error.  Contact technical "
         "support."},
    {12,
     "Connection failed.  Either the Quillon Media Stream server is unavailable or\nthis viewer "
     "is incompatible with the current server version."},
    {20, "The Quillon Media Stream server has timed out.  Please try again later."},
    {30, "Error serailizing object"},
    {100, "The Skyvora Movie you are attempting to view is already open."},
    {101, "The Skyvora Movie does not contain a valid score.  It may have been created\nwith a "
          "different version of Vantrel or may have been corrupted."},
    {13401, "An internal error has occurred (code 1.)  Please contact Quillon technical support."},
    {13402, SKV_INCOMPATIBLE SKV_MAKER_WEB_ADDRESS " to obtain a compatible viewer(code 1.)"},
    {13403, SKV_INCOMPATIBLE SKV_MAKER_WEB_ADDRESS " to obtain a compatible viewer(code 2.)"},
    {13404, "An unknown error has occurred (code 10).  Please contact Quillon technical support."},
    {13405, SKV_INCOMPATIBLE SKV_MAKER_WEB_ADDRESS " to obtain a compatible viewer(code 3.)"},
    {13406, "The Quillon Skyvora server has reached its maximum number of users (code 1.)  Please "
            "try again later."},
    {13407, "Unable to locate the Skyvora Server."},
    {13408, "An unknown error has occurred.  Please contact Quillon technical support."},
    {13409, "You are not authorized to perform this operation."},
    {13410, "Access denied."},
    {13411, "The Quillon Skyvora movie cannot be found on the server."},
    {13412, "The Quillon Skyvora server cannot be contacted.  Please try again at a later time."},
    {13413, "This operation is not supported."},
    {13414, "The Quillon Skyvora server has reached its maximum number of users.  Please try again "
            "later."},
    {13415, "Error initializing the network system."},
    {13416, "The Skyvora URI is invalid."},
    {13417, "Unable to resolve the Skyvora Server's address."},
    {13418, "Unable to connect to the Quillon Skyvora server.  Please try again at later time."},
    {13419, "The Skyvora is too busy at this time.  Please try again later."},
    {13420, "Operation Interrupted."},
};

#undef SKV_INCOMPATIBLE

} // namespace

const char* moduleString(uint32_t id) {
    for (const Entry& e : kEntries)
        if (e.id == id) return e.text;
    return nullptr;
}

int32_t loadModuleString(uint32_t id, char* buffer, int32_t capacity) {
    if (buffer == nullptr || capacity < 1) return 0;
    buffer[0] = '\0';
    const char* text = moduleString(id);
    if (!text) return 0;
    size_t n = std::min(std::strlen(text), static_cast<size_t>(capacity - 1));
    std::memcpy(buffer, text, n);
    buffer[n] = '\0';
    return static_cast<int32_t>(n);
}

} // namespace skv
