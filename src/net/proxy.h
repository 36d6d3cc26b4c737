// The HTTP proxy the streaming fallback goes through, from the browser's and the system's
// settings in the current user's registry.
#pragma once

#include <cstdint>

namespace skv {

struct HttpProxy {
    uint32_t address = 0; // network byte order
    uint16_t port = 0;
};

// First the browser's key (HTTP_Proxy, with Http_ProxyPort replacing its port when nonzero),
// then the system's (ProxyServer when ProxyEnable is nonzero). False when neither names a proxy
// that resolves; a per-protocol ProxyServer ("http=a:1;ftp=b:2") does not. The sockets library
// must have been started.
bool findHttpProxy(HttpProxy* proxy);

} // namespace skv
