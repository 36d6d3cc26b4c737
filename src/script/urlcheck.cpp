#include "script/urlcheck.h"

#include "script/textcase.h"

namespace skv {

bool isBrowserUrl(std::string_view url) {
    const size_t colon = url.find(':');
    if (colon == std::string_view::npos) return false;
    const std::string scheme(url.substr(0, colon));
    static const char* const kSchemes[] = {"http",   "https", "ftp",    "news",
                                           "gopher", "wais",  "mailto", "qmsp"};
    for (const char* s : kSchemes)
        if (equalsIgnoringCase(scheme, s)) return true;
    return false;
}

std::string trackingUrl(std::string_view sw1, std::string_view sw2, std::string_view sw3,
                        std::string_view sw4) {
    constexpr std::string_view kHttp = "http://";
    std::string url;
    if (sw1.find(kHttp) == std::string_view::npos) url += kHttp;
    url.append(sw1).append("?SpaceID=").append(sw3).append("&AdID=").append(sw2).append("&URL=");
    if (sw4.find(kHttp) != std::string_view::npos) {
        // The value is taken to begin with its scheme: everything after "http://" follows the
        // escaped form.
        url += "http:%2f%2f";
        if (sw4.size() > kHttp.size()) url.append(sw4.substr(kHttp.size()));
    } else {
        url.append(sw4);
    }
    if (url.size() > 8095) url.resize(8095);
    return url;
}

} // namespace skv
