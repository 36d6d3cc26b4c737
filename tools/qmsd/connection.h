// One client connection, from its request to the last byte of the reply. The caller owns the
// socket and closes it afterwards.
#pragma once

#include <string>

#include "logger.h"
#include "movies.h"
#include "options.h"
#include "platform/winsock.h"

namespace qmsd {

struct ServeContext {
    const Options& options;
    const MovieLibrary& movies;
    Logger& log;
};

// `busy`: too many connections are open; the request is read and answered with kBusy.
void serveNative(SOCKET s, const std::string& peer, const ServeContext& ctx, bool busy);
void serveHttp(SOCKET s, const std::string& peer, const ServeContext& ctx, bool busy);

struct HttpStatus {
    int code;
    const char* reason;
};
// The HTTP status that carries a reply code (kNotFound: 404 "Not Found").
HttpStatus httpStatus(int32_t reply);

} // namespace qmsd
