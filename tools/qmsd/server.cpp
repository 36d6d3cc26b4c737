#include "server.h"

#include <cstdio>

#include "connection.h"
#include "netio.h"

namespace qmsd {

namespace {

// Beyond this many open connections a new one is closed at once instead of being told it is busy,
// so that a flood cannot exhaust the threads.
constexpr size_t kHardConnectionMargin = 64;

std::string bindAdvice(int error, int port, const char* option) {
    std::string p = std::to_string(port);
    switch (error) {
    case WSAEADDRINUSE:
        return "port " + p + " is in use by another program; choose another with " + option +
               " (0 picks a free port).";
    case WSAEACCES:
        return "port " + p + " needs administrator rights; choose one above 1023 with " + option +
               ".";
    case WSAEADDRNOTAVAIL:
        return "the --bind address does not belong to this machine; use one of its addresses "
               "or 0.0.0.0.";
    default:
        return "cannot listen on port " + p + " (socket error " + std::to_string(error) +
               "); try another with " + option + ".";
    }
}

// Ends the reply with a FIN and reads what the client still sends until it closes too: closing
// with unread bytes (a refused request's remaining header lines) would reset the connection and
// could destroy the reply before the client has read it.
void lingeringClose(SOCKET s) {
    shutdown(s, SD_SEND);
    DWORD ms = 2000;
    setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&ms), sizeof ms);
    char sink[4096];
    for (int drained = 0; drained < 64 * 1024;) {
        int n = recv(s, sink, sizeof sink, 0);
        if (n <= 0) break;
        drained += n;
    }
    closesocket(s);
}

} // namespace

Server::Server(const Options& options, Logger& log) : options_(options), log_(log) {}

Server::~Server() {
    stop();
}

bool Server::listenOn(int port, const char* what, const char* option, SOCKET* out, uint16_t* bound,
                      std::string* error) {
    unsigned long address = inet_addr(options_.bindAddress.c_str());
    if (address == INADDR_NONE && options_.bindAddress != "255.255.255.255") {
        *error = "qmsd: --bind needs a dotted IPv4 address such as 127.0.0.1, not '" +
                 options_.bindAddress + "'.";
        return false;
    }
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) {
        *error = "qmsd: cannot create a socket (error " + std::to_string(WSAGetLastError()) +
                 "); check the system's limits on open files.";
        return false;
    }
    // A restarted server must not wait for the old connections' TIME_WAIT to pass.
    BOOL yes = TRUE;
    setsockopt(s, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&yes), sizeof yes);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_port = htons(static_cast<unsigned short>(port));
    at.sin_addr.s_addr = static_cast<uint32_t>(address);
    if (bind(s, reinterpret_cast<const sockaddr*>(&at), sizeof at) != 0 || listen(s, 64) != 0) {
        *error = std::string("qmsd: ") + what + ": " + bindAdvice(WSAGetLastError(), port, option);
        closesocket(s);
        return false;
    }
    sockaddr_in actual{};
    int len = sizeof actual;
    getsockname(s, reinterpret_cast<sockaddr*>(&actual), &len);
    *bound = ntohs(actual.sin_port);
    *out = s;
    return true;
}

bool Server::start(std::string* error) {
    if (!movies_.open(options_.directory, error)) return false;
    WSADATA data;
    if (WSAStartup(MAKEWORD(1, 1), &data) != 0) {
        *error = "qmsd: the network system cannot start; check that networking is available.";
        return false;
    }
    wsaStarted_ = true;
    if (!options_.refuseNative && !listenOn(options_.nativePort, "native port", "--port",
                                            &nativeListener_, &nativePort_, error)) {
        stop();
        return false;
    }
    if (options_.httpPort >= 0 && !listenOn(options_.httpPort, "HTTP port", "--http-port",
                                            &httpListener_, &httpPort_, error)) {
        stop();
        return false;
    }
    if (nativeListener_ != INVALID_SOCKET)
        nativeAcceptor_ = std::thread(&Server::acceptLoop, this, nativeListener_, Protocol::Native);
    if (httpListener_ != INVALID_SOCKET)
        httpAcceptor_ = std::thread(&Server::acceptLoop, this, httpListener_, Protocol::Http);
    return true;
}

bool Server::writePortFile(const std::string& path, std::string* error) const {
    // Written under another name and renamed, so a reader never sees half a file.
    std::string temp = path + ".tmp";
    FILE* f = std::fopen(temp.c_str(), "w");
    bool ok = f != nullptr;
    if (f) {
        if (nativePort_) ok = std::fprintf(f, "native %u\n", unsigned(nativePort_)) > 0;
        if (ok && httpPort_) ok = std::fprintf(f, "http %u\n", unsigned(httpPort_)) > 0;
        ok = std::fclose(f) == 0 && ok;
    }
    if (ok) ok = std::rename(temp.c_str(), path.c_str()) == 0;
    if (!ok) {
        std::remove(temp.c_str());
        *error = "qmsd: cannot write the port file '" + path +
                 "'; check that its directory exists and is writable.";
    }
    return ok;
}

void Server::stop() {
    if (stopping_.exchange(true)) return;
    // Closing a listener wakes its accept thread, which then sees the stop.
    for (SOCKET* l : {&nativeListener_, &httpListener_}) {
        if (*l != INVALID_SOCKET) closesocket(*l);
    }
    if (nativeAcceptor_.joinable()) nativeAcceptor_.join();
    if (httpAcceptor_.joinable()) httpAcceptor_.join();
    nativeListener_ = httpListener_ = INVALID_SOCKET;
    std::list<std::unique_ptr<Connection>> open;
    {
        std::lock_guard<std::mutex> lk(mu_);
        // Shutting a connection down wakes its thread out of recv or send; the thread still
        // closes its own socket.
        for (auto& c : connections_)
            shutdown(c->socket, SD_BOTH);
        open.swap(connections_);
    }
    for (auto& c : open)
        c->thread.join();
    if (wsaStarted_) WSACleanup();
    wsaStarted_ = false;
}

size_t Server::reapLocked() {
    for (auto it = connections_.begin(); it != connections_.end();) {
        if ((*it)->done) {
            (*it)->thread.join();
            it = connections_.erase(it);
        } else {
            ++it;
        }
    }
    return connections_.size();
}

void Server::acceptLoop(SOCKET listener, Protocol protocol) {
    while (!stopping_) {
        sockaddr_in peer{};
        int len = sizeof peer;
        SOCKET s = accept(listener, reinterpret_cast<sockaddr*>(&peer), &len);
        if (s == INVALID_SOCKET) {
            if (stopping_) return;
            // Out of descriptors or a connection that died in the queue: try again shortly.
            log_.info("qmsd: accept failed (socket error " + std::to_string(WSAGetLastError()) +
                      ")");
            Sleep(100);
            continue;
        }
        std::lock_guard<std::mutex> lk(mu_);
        size_t open = reapLocked();
        if (stopping_ || open >= size_t(options_.maxClients) + kHardConnectionMargin) {
            closesocket(s);
            continue;
        }
        bool busy = open >= size_t(options_.maxClients);
        auto c = std::make_unique<Connection>();
        c->socket = s;
        Connection* raw = c.get();
        connections_.push_back(std::move(c));
        raw->thread = std::thread(&Server::serve, this, raw, protocol, peerText(peer), busy);
    }
}

void Server::serve(Connection* c, Protocol protocol, std::string peer, bool busy) {
    ServeContext ctx{options_, movies_, log_};
    if (protocol == Protocol::Native)
        serveNative(c->socket, peer, ctx, busy);
    else
        serveHttp(c->socket, peer, ctx, busy);
    lingeringClose(c->socket);
    c->done = true;
}

} // namespace qmsd
