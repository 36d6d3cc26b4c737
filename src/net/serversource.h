// A movie stream from a streaming server: the native request on the server's port (537 unless
// the URL names one), and when that cannot be had, HTTP/1.0 on port 80 or through the proxy.
//
// Native request record (256 bytes, little-endian):
//
// | offset | size | content                                    |
// |--------|------|--------------------------------------------|
// | 0      | 2    | int16 request code 100                     |
// | 2      | 4    | int32 offset in the movie stream           |
// | 6      | 250  | the URL's path, NUL-terminated; zero-filled |
//
// The reply, native or after the HTTP header: an int32 length word; negative, it is the server's
// error code and nothing follows; otherwise it is the length of the whole stream, and the
// stream's bytes from the offset on follow.
//
// Every wait for the server's bytes is timed on the platform clock: a server that accepts and
// then says nothing, or stops sending part-way, must not hold the player for ever. A native
// reply that does not come in time is tried over HTTP like one the server broke off; a read that
// times out delivers what it had and the source then reads nothing more until the next request.
#pragma once

#include <atomic>
#include <cstdint>

#include "net/source.h"
#include "platform/winsock.h"

namespace skv {

class ServerSource final : public Source {
public:
    static constexpr uint16_t kDefaultPort = 537;
    static constexpr int kMaxHost = 256;
    static constexpr int kMaxPath = 256;
    // Without a byte for this long the server is taken to have stalled.
    static constexpr uint32_t kDefaultReceiveTimeoutMs = 60000;

    // `remainder` is the URL after "qmsp:" and its slashes: host[:port][/path].
    ServerSource(const char* url, const char* remainder);
    ~ServerSource() override;

    int32_t contentLength() override { return length_.load(); }
    int32_t request(int32_t offset) override;
    void close() override;
    int32_t read(void* buffer, int32_t n) override;

    const char* host() const { return host_; }
    uint16_t port() const { return port_; }
    // The address names a port that cannot be one (not decimal, 0, above 65535): every request
    // fails as an invalid address.
    bool badPort() const { return badPort_; }
    const char* path() const { return path_; }
    // The port the HTTP fallback connects to when there is no proxy (80).
    void setHttpPort(uint16_t port) { httpPort_ = port; }
    // How long a wait for the server's next byte may last; 0 waits without limit. Set before a
    // request.
    void setReceiveTimeout(uint32_t milliseconds) { receiveTimeoutMs_ = milliseconds; }
    uint32_t receiveTimeout() const { return receiveTimeoutMs_; }
    // The last read ended because the server sent nothing for the receive time-out.
    bool stalled() const { return stalled_.load(); }

private:
    // Request steps; each returns 0, a Windows Sockets error code or a negative code.
    int32_t nativeAttempt(uint32_t address, int32_t offset, uint32_t generation, int32_t* length);
    int32_t httpAttempt(uint32_t address, int32_t offset, uint32_t generation, int32_t* length);
    // A new socket, published for close(); INVALID_SOCKET (with the last error set) on failure.
    SOCKET openSocket(uint32_t generation);
    void dropSocket();
    bool interrupted(uint32_t generation) const { return closes_.load() != generation; }
    // The receive time-out as a platform wait (INFINITE for none).
    DWORD waitLimit() const { return receiveTimeoutMs_ ? receiveTimeoutMs_ : INFINITE; }

    char host_[kMaxHost + 1] = {};
    char path_[kMaxPath + 1] = {};
    uint16_t port_ = kDefaultPort;
    bool badPort_ = false;
    uint16_t httpPort_ = 80;
    uint32_t receiveTimeoutMs_ = kDefaultReceiveTimeoutMs;
    std::atomic<bool> stalled_{false};
    int startups_ = 0;
    std::atomic<SOCKET> socket_{INVALID_SOCKET};
    std::atomic<uint32_t> closes_{0};
    std::atomic<int32_t> length_{0};
};

// The request result for a Windows Sockets error code: -603 unreachable or timed out, -604
// refused, -605 reset or shut down, -600 anything else. Codes below 10001 pass unchanged.
int32_t requestErrorForSocketError(int32_t code);

} // namespace skv
