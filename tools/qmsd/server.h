// The listening side of qmsd: the native and HTTP ports, a thread per connection, and a stop that
// ends every connection and waits for its thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "logger.h"
#include "movies.h"
#include "options.h"
#include "platform/winsock.h"

namespace qmsd {

class Server {
public:
    Server(const Options& options, Logger& log);
    ~Server();
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    // Opens the directory and the ports and starts accepting. False with a message that says what
    // to do when any of it fails.
    bool start(std::string* error);
    // Closes the ports, ends every open connection and waits for all threads. Idempotent.
    void stop();

    // The ports in use once started (0 when that port is not open).
    uint16_t nativePort() const { return nativePort_; }
    uint16_t httpPort() const { return httpPort_; }

    // Writes "native N" and "http M" lines for the open ports; false when the file cannot be
    // written.
    bool writePortFile(const std::string& path, std::string* error) const;

private:
    enum class Protocol { Native, Http };

    struct Connection {
        SOCKET socket = INVALID_SOCKET;
        std::thread thread;
        std::atomic<bool> done{false};
    };

    bool listenOn(int port, const char* what, const char* option, SOCKET* out, uint16_t* bound,
                  std::string* error);
    void acceptLoop(SOCKET listener, Protocol protocol);
    void serve(Connection* c, Protocol protocol, std::string peer, bool busy);
    // Joins the threads of finished connections; returns how many are still open.
    size_t reapLocked();

    Options options_;
    Logger& log_;
    MovieLibrary movies_;
    bool wsaStarted_ = false;
    SOCKET nativeListener_ = INVALID_SOCKET;
    SOCKET httpListener_ = INVALID_SOCKET;
    uint16_t nativePort_ = 0;
    uint16_t httpPort_ = 0;
    std::thread nativeAcceptor_;
    std::thread httpAcceptor_;
    std::atomic<bool> stopping_{false};
    std::mutex mu_; // guards connections_
    std::list<std::unique_ptr<Connection>> connections_;
};

} // namespace qmsd
