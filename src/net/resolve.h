// Turning the host names and addresses of movie URLs and proxy settings into IPv4 addresses.
#pragma once

#include <cstdint>

namespace skv {

// A name beginning with a letter is looked up (its first address); anything else is read as a
// dotted address. The address is in network byte order; false when neither works. The sockets
// library must have been started.
bool resolveHost(const char* host, uint32_t* address);

// "host" or "host:port" (a decimal port; `defaultPort` when there is none).
bool resolveHostAndPort(const char* text, uint16_t defaultPort, uint32_t* address,
                        uint16_t* port);

} // namespace skv
