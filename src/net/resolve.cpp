#include "net/resolve.h"

#include <cstring>
#include <string>

#include "platform/winsock.h"

namespace skv {

bool resolveHost(const char* host, uint32_t* address) {
    if (!host || !*host) return false;
    const char c = host[0];
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) {
        hostent* h = gethostbyname(host);
        if (!h || h->h_length != 4 || !h->h_addr_list || !h->h_addr_list[0]) return false;
        std::memcpy(address, h->h_addr_list[0], 4);
        return true;
    }
    unsigned long a = inet_addr(host);
    if (a == INADDR_NONE) return false;
    *address = static_cast<uint32_t>(a);
    return true;
}

bool resolveHostAndPort(const char* text, uint16_t defaultPort, uint32_t* address,
                        uint16_t* port) {
    if (!text) return false;
    const char* colon = std::strchr(text, ':');
    std::string host = colon ? std::string(text, static_cast<size_t>(colon - text)) : text;
    *port = defaultPort;
    if (colon) {
        unsigned long p = 0;
        const char* d = colon + 1;
        for (; *d >= '0' && *d <= '9' && p <= 0xFFFF; ++d)
            p = p * 10 + static_cast<unsigned long>(*d - '0');
        if (d == colon + 1 || *d || p == 0 || p > 0xFFFF) return false;
        *port = static_cast<uint16_t>(p);
    }
    return resolveHost(host.c_str(), address);
}

} // namespace skv
