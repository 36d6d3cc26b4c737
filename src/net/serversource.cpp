#include "net/serversource.h"

#include <cstdio>
#include <cstring>

#include "net/httpheader.h"
#include "net/proxy.h"
#include "net/resolve.h"

namespace skv {

namespace {

constexpr int32_t kNoStartup = -600;
constexpr int32_t kInvalidAddress = -601;
constexpr int32_t kCannotResolve = -602;
constexpr int32_t kShortReply = -1;
constexpr int16_t kStreamRequest = 100;
constexpr int kRecordSize = 256;
constexpr int kRecordPathOffset = 6;
constexpr DWORD kConnectTimeoutMs = 5000;
constexpr DWORD kRefusedTimeoutMs = 30000;
constexpr DWORD kConnectPollMs = 50;

bool sendAll(SOCKET s, const char* data, int length) {
    while (length > 0) {
        int n = send(s, data, length, 0);
        if (n <= 0) return false;
        data += n;
        length -= n;
    }
    return true;
}

// True once the server has sent something, or the connection has ended or failed (for the recv
// that follows to report); false when `limit` passed on the platform clock without a byte.
bool awaitBytes(SOCKET s, DWORD limit) {
    return skv::platform::waitForSocketData(s, limit) != 0;
}

// Exactly `length` bytes; false when the connection ends or fails first, or when the server
// sends nothing for `limit` (the last error is then WSAETIMEDOUT).
bool receiveAll(SOCKET s, char* data, int length, DWORD limit) {
    while (length > 0) {
        if (!awaitBytes(s, limit)) {
            WSASetLastError(WSAETIMEDOUT);
            return false;
        }
        int n = recv(s, data, length, 0);
        if (n <= 0) return false;
        data += n;
        length -= n;
    }
    return true;
}

bool receiveLengthWord(SOCKET s, int32_t* length, DWORD limit) {
    unsigned char b[4];
    if (!receiveAll(s, reinterpret_cast<char*>(b), 4, limit)) return false;
    *length = static_cast<int32_t>(uint32_t{b[0]} | uint32_t{b[1]} << 8 | uint32_t{b[2]} << 16 |
                                   uint32_t{b[3]} << 24);
    return true;
}

// The last socket error, never 0 (a call that failed without saying why still failed).
int32_t lastSocketError() {
    int e = WSAGetLastError();
    return e > 0 ? e : WSAECONNABORTED;
}

sockaddr_in inetAddress(uint32_t address, uint16_t port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = address;
    return a;
}

// Connects with the server's time-outs: 5 s for an answer, or 30 s from the start while the
// server refuses (it may be restarting). 0 or a socket error.
int32_t timedConnect(SOCKET s, const sockaddr_in& to) {
    unsigned long nonBlocking = 1;
    ioctlsocket(s, static_cast<long>(FIONBIO), &nonBlocking);
    const DWORD start = GetTickCount();
    DWORD limit = kConnectTimeoutMs;
    int32_t result = WSAETIMEDOUT;
    bool done = false;
    while (GetTickCount() - start < limit) {
        if (connect(s, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0) {
            result = 0;
            done = true;
            break;
        }
        int error = WSAGetLastError();
        if (error == WSAEISCONN) {
            result = 0;
            done = true;
            break;
        }
        if (error == WSAECONNREFUSED) {
            limit = kRefusedTimeoutMs;
        } else if (error != WSAEINVAL && error != WSAEWOULDBLOCK && error != WSAEINPROGRESS &&
                   error != WSAEALREADY) {
            result = error;
            done = true;
            break;
        }
        Sleep(kConnectPollMs);
    }
    if (!done) result = limit == kConnectTimeoutMs ? WSAETIMEDOUT : WSAECONNREFUSED;
    unsigned long blocking = 0;
    ioctlsocket(s, static_cast<long>(FIONBIO), &blocking);
    return result;
}

} // namespace

int32_t requestErrorForSocketError(int32_t code) {
    if (code < 10001) return code;
    switch (code) {
    case WSAENETDOWN:
    case WSAENETUNREACH:
    case WSAETIMEDOUT:
    case WSAEHOSTDOWN:
    case WSAEHOSTUNREACH:
        return -603;
    case WSAECONNREFUSED:
        return -604;
    case WSAENETRESET:
    case WSAECONNABORTED:
    case WSAECONNRESET:
    case WSAENOTCONN:
    case WSAESHUTDOWN:
        return -605;
    default:
        return -600;
    }
}

ServerSource::ServerSource(const char* url, const char* remainder) : Source(url) {
    if (!remainder) remainder = "";
    size_t hostLength = std::strcspn(remainder, ":/\\");
    std::memcpy(host_, remainder, hostLength < kMaxHost ? hostLength : kMaxHost);
    if (remainder[hostLength] == ':') {
        // The port is decimal, 1-65535, and ends the address or comes before the path. Anything
        // else makes the address invalid: connecting to the default port instead, or to a port
        // cut down to 16 bits, would reach a server the address does not name.
        unsigned long p = 0;
        const char* d = remainder + hostLength + 1;
        const char* digits = d;
        for (; *d >= '0' && *d <= '9' && p <= 0xFFFF; ++d)
            p = p * 10 + static_cast<unsigned long>(*d - '0');
        if (d > digits && (*d == '\0' || *d == '/') && p > 0 && p <= 0xFFFF)
            port_ = static_cast<uint16_t>(p);
        else
            badPort_ = true;
    }
    if (const char* slash = std::strchr(remainder, '/')) std::strncpy(path_, slash + 1, kMaxPath);
}

ServerSource::~ServerSource() {
    close();
    while (startups_ > 0) {
        WSACleanup();
        --startups_;
    }
}

void ServerSource::close() {
    closes_.fetch_add(1);
    dropSocket();
}

void ServerSource::dropSocket() {
    SOCKET s = socket_.exchange(INVALID_SOCKET);
    if (s != INVALID_SOCKET) closesocket(s);
}

SOCKET ServerSource::openSocket(uint32_t generation) {
    dropSocket();
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) return s;
    socket_.store(s);
    // A close() that came before the socket was published could not close it.
    if (interrupted(generation)) {
        dropSocket();
        WSASetLastError(WSAEINTR);
        return INVALID_SOCKET;
    }
    return s;
}

int32_t ServerSource::request(int32_t offset) {
    if (badPort_) return kInvalidAddress;
    const uint32_t generation = closes_.load();
    stalled_.store(false);
    dropSocket();
    WSADATA data;
    if (WSAStartup(MAKEWORD(1, 1), &data) != 0) return kNoStartup;
    ++startups_;
    uint32_t address = 0;
    if (!resolveHost(host_, &address)) return kCannotResolve;

    int32_t length = 0;
    int32_t result = nativeAttempt(address, offset, generation, &length);
    // A refused connection is final; a server that did not answer in time, or broke off the
    // exchange, may still be reachable over HTTP.
    if (result != 0 && result != WSAECONNREFUSED && !interrupted(generation))
        result = httpAttempt(address, offset, generation, &length);
    if (result == 0 && length < 0) result = length;
    result = requestErrorForSocketError(result);
    if (result != 0) {
        dropSocket();
        return result;
    }
    length_.store(length);
    return 0;
}

int32_t ServerSource::nativeAttempt(uint32_t address, int32_t offset, uint32_t generation,
                                    int32_t* length) {
    // A path the record cannot hold whole would ask for another movie; HTTP carries it whole.
    if (std::strlen(path_) >= static_cast<size_t>(kRecordSize - kRecordPathOffset))
        return WSAEMSGSIZE;
    SOCKET s = openSocket(generation);
    if (s == INVALID_SOCKET) return lastSocketError();
    if (int32_t error = timedConnect(s, inetAddress(address, port_))) return error;
    char record[kRecordSize] = {};
    record[0] = static_cast<char>(kStreamRequest & 0xFF);
    record[1] = static_cast<char>(kStreamRequest >> 8);
    const uint32_t o = static_cast<uint32_t>(offset);
    for (int i = 0; i < 4; ++i)
        record[2 + i] = static_cast<char>(o >> (8 * i));
    std::memcpy(record + kRecordPathOffset, path_, std::strlen(path_));
    if (!sendAll(s, record, kRecordSize) || !receiveLengthWord(s, length, waitLimit()))
        return lastSocketError();
    return 0;
}

int32_t ServerSource::httpAttempt(uint32_t address, int32_t offset, uint32_t generation,
                                  int32_t* length) {
    SOCKET s = openSocket(generation);
    if (s == INVALID_SOCKET) return lastSocketError();
    HttpProxy proxy;
    const bool viaProxy = findHttpProxy(&proxy);
    sockaddr_in to =
        viaProxy ? inetAddress(proxy.address, proxy.port) : inetAddress(address, httpPort_);
    if (connect(s, reinterpret_cast<const sockaddr*>(&to), sizeof to) != 0)
        return lastSocketError();
    char line[64 + kMaxPath + 32];
    if (viaProxy) {
        in_addr server;
        server.s_addr = address;
        std::snprintf(line, sizeof line, "GET http://%s/x%s?%d HTTP/1.0\r\n\r\n", inet_ntoa(server),
                      path_, offset);
    } else {
        std::snprintf(line, sizeof line, "GET /x%s?%d HTTP/1.0\r\n\r\n", path_, offset);
    }
    if (!sendAll(s, line, static_cast<int>(std::strlen(line)))) return lastSocketError();
    const DWORD limit = waitLimit();
    int32_t header = parseHttpHeader(
        [s, limit](char& c) { return awaitBytes(s, limit) && recv(s, &c, 1, 0) == 1; });
    if (header != 0) return header;
    if (!receiveLengthWord(s, length, limit)) return kShortReply;
    return 0;
}

int32_t ServerSource::read(void* buffer, int32_t n) {
    SOCKET s = socket_.load();
    if (s == INVALID_SOCKET || !buffer || n <= 0) return 0;
    // A server that has stalled once is not waited for again: the transfer is over.
    if (stalled_.load()) return -1;
    char* out = static_cast<char*>(buffer);
    int32_t got = 0;
    while (got < n) {
        if (!awaitBytes(s, waitLimit())) {
            stalled_.store(true);
            return got > 0 ? got : -1; // what did arrive is the caller's to keep
        }
        int r = recv(s, out + got, n - got, 0);
        if (r == 0) break;
        if (r < 0) return got > 0 ? got : -1;
        got += r;
    }
    return got;
}

} // namespace skv
