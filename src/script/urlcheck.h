// The addresses scripts may hand to the browser, and the tracking page's address.
#pragma once

#include <string>
#include <string_view>

namespace skv {

// True when the text before the first ':' is, ignoring case, one of http, https, ftp, news,
// gopher, wais, mailto or qmsp.
bool isBrowserUrl(std::string_view url);

// The tracking request: sw1 (with "http://" in front unless it holds one already), then
// "?SpaceID=" sw3, "&AdID=" sw2 and "&URL=" sw4, the scheme's "//" of sw4 escaped. At most 8095
// bytes.
std::string trackingUrl(std::string_view sw1, std::string_view sw2, std::string_view sw3,
                        std::string_view sw4);

} // namespace skv
