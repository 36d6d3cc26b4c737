// What the browser fetches for get URL with notification: http: (HTTP/1.0 GET), file: and
// addresses relative to the page (resolved against the page's folder or its http: base).
#pragma once

#include <string>

namespace skvplay {

// The absolute form of `url` seen from a page at `base` (a folder path or an http: URL).
std::string resolveUrl(const std::string& url, const std::string& base);
// The local path of a file: URL or plain path; empty for other schemes.
std::string localPath(const std::string& url);
// Fetches `url` (absolute) into `body`. False with the reason in `error`.
bool fetchUrl(const std::string& url, std::string* body, std::string* error);

} // namespace skvplay
