// Windows Sockets 1.1 over the system's BSD sockets (sockets_posix.h).
//
// SOCKET values name entries of a table of their own, never reused, rather than file
// descriptors. A call holds its socket's entry while it runs, and the descriptor is closed only
// when the last call has let go: closesocket from another thread then shuts the connection down,
// which wakes a thread blocked in recv, accept or send, and the descriptor number cannot be
// handed to a new file while that thread is still inside the call.
#include <algorithm>
#include <atomic>
#include <bit>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/clock.h"
#include "platform/winsock.h"
#include "sockets_posix.h"

namespace sk = skv::platform::sockets;

namespace {

struct SocketObj {
    explicit SocketObj(int f) : fd(f) {}
    ~SocketObj() { sk::closeFd(fd); }
    SocketObj(const SocketObj&) = delete;
    SocketObj& operator=(const SocketObj&) = delete;

    const int fd;
    std::atomic<bool> nonBlocking{false};
    std::atomic<bool> closed{false};
};

struct SocketTable {
    std::mutex mu;
    std::unordered_map<SOCKET, std::shared_ptr<SocketObj>> sockets;
    SOCKET next = 0x100;
};

SocketTable& table() {
    static SocketTable* t = new SocketTable; // never destroyed: threads may outlive main
    return *t;
}

std::atomic<int> startupCount{0};

constexpr int kVirtualConnectGraceMs = 25;
// How waitForSocketData spends a wait on the virtual clock (see winsock.h), and the longest real
// poll of a wait on the real clock, so that a switch to the virtual clock is noticed.
constexpr int kVirtualReadGraceMs = 50;
constexpr DWORD kFirstVirtualStepMs = 10;
constexpr DWORD kLongestVirtualStepMs = 4000;
constexpr uint64_t kRealSliceMs = 1000;

int failWith(int error) {
    WSASetLastError(error);
    return SOCKET_ERROR;
}

std::shared_ptr<SocketObj> lookup(SOCKET s) {
    SocketTable& t = table();
    std::lock_guard<std::mutex> lk(t.mu);
    auto it = t.sockets.find(s);
    if (it == t.sockets.end()) {
        WSASetLastError(WSAENOTSOCK);
        return nullptr;
    }
    return it->second;
}

SOCKET enter(int fd) {
    SocketTable& t = table();
    std::lock_guard<std::mutex> lk(t.mu);
    SOCKET s = t.next;
    t.next += 4;
    t.sockets.emplace(s, std::make_shared<SocketObj>(fd));
    return s;
}

// The result of a backend call: the value, or SOCKET_ERROR with the last error set. A call that
// came back empty-handed because another thread closed the socket under it was interrupted.
long finish(long result, const SocketObj& so) {
    if (result > 0 || (result == 0 && !so.closed.load())) return result;
    if (so.closed.load()) return failWith(WSAEINTR);
    return failWith(static_cast<int>(-result));
}

bool readAddress(const struct sockaddr* name, int nameLength, sk::Inet4* out) {
    if (!name || nameLength < static_cast<int>(sizeof(sockaddr_in))) {
        WSASetLastError(WSAEFAULT);
        return false;
    }
    sockaddr_in in;
    std::memcpy(&in, name, sizeof in);
    if (in.sin_family != AF_INET) {
        WSASetLastError(WSAEAFNOSUPPORT);
        return false;
    }
    out->address = in.sin_addr.s_addr;
    out->port = in.sin_port;
    return true;
}

void writeAddress(const sk::Inet4& a, struct sockaddr* name, int* nameLength) {
    if (!name || !nameLength || *nameLength < static_cast<int>(sizeof(sockaddr_in))) return;
    sockaddr_in in{};
    in.sin_family = AF_INET;
    in.sin_port = a.port;
    in.sin_addr.s_addr = a.address;
    std::memcpy(name, &in, sizeof in);
    *nameLength = sizeof in;
}

uint16_t swapIfLittle(uint16_t v) {
    if constexpr (std::endian::native == std::endian::little) return __builtin_bswap16(v);
    return v;
}

uint32_t swapIfLittle(uint32_t v) {
    if constexpr (std::endian::native == std::endian::little) return __builtin_bswap32(v);
    return v;
}

// gethostbyname's answer belongs to the calling thread until its next call, as on Windows.
struct HostResult {
    std::string name;
    std::vector<uint32_t> addresses;
    std::vector<char*> addressList;
    char* aliases[1] = {nullptr};
    hostent entry{};
};

} // namespace

int WSAStartup(WORD versionRequested, LPWSADATA data) {
    if (!data) return WSAEFAULT;
    BYTE major = static_cast<BYTE>(versionRequested & 0xFF);
    BYTE minor = static_cast<BYTE>(versionRequested >> 8);
    if (major == 0) return WSAVERNOTSUPPORTED;
    std::memset(data, 0, sizeof *data);
    // Versions above 2.2 are answered with 2.2, the highest this layer speaks.
    data->wVersion = (major > 2 || (major == 2 && minor > 2)) ? MAKEWORD(2, 2) : versionRequested;
    data->wHighVersion = MAKEWORD(2, 2);
    std::snprintf(data->szDescription, sizeof data->szDescription, "Skyvora sockets");
    std::snprintf(data->szSystemStatus, sizeof data->szSystemStatus, "Running");
    data->iMaxSockets = 0xFFFF;
    data->iMaxUdpDg = 0;
    startupCount.fetch_add(1);
    return 0;
}

int WSACleanup(void) {
    int n = startupCount.load();
    while (n > 0 && !startupCount.compare_exchange_weak(n, n - 1)) {
    }
    if (n <= 0) return failWith(WSANOTINITIALISED);
    return 0;
}

int WSAGetLastError(void) {
    return static_cast<int>(GetLastError());
}

void WSASetLastError(int error) {
    SetLastError(static_cast<DWORD>(error));
}

SOCKET socket(int af, int type, int protocol) {
    if (startupCount.load() <= 0) {
        WSASetLastError(WSANOTINITIALISED);
        return INVALID_SOCKET;
    }
    if (af != AF_INET) {
        WSASetLastError(WSAEAFNOSUPPORT);
        return INVALID_SOCKET;
    }
    if (type != SOCK_STREAM) {
        WSASetLastError(WSAESOCKTNOSUPPORT);
        return INVALID_SOCKET;
    }
    if (protocol != 0 && protocol != IPPROTO_TCP) {
        WSASetLastError(WSAEPROTONOSUPPORT);
        return INVALID_SOCKET;
    }
    int fd = sk::openTcp();
    if (fd < 0) {
        WSASetLastError(-fd);
        return INVALID_SOCKET;
    }
    return enter(fd);
}

int closesocket(SOCKET s) {
    std::shared_ptr<SocketObj> so;
    {
        SocketTable& t = table();
        std::lock_guard<std::mutex> lk(t.mu);
        auto it = t.sockets.find(s);
        if (it == t.sockets.end()) return failWith(WSAENOTSOCK);
        so = std::move(it->second);
        t.sockets.erase(it);
    }
    so->closed.store(true);
    // Wakes any call still blocked on the socket; the descriptor closes with its last user.
    sk::shutdownFd(so->fd, 2);
    return 0;
}

int shutdown(SOCKET s, int how) {
    std::shared_ptr<SocketObj> so = lookup(s);
    if (!so) return SOCKET_ERROR;
    if (how < SD_RECEIVE || how > SD_BOTH) return failWith(WSAEINVAL);
    int r = sk::shutdownFd(so->fd, how);
    return r < 0 ? failWith(-r) : 0;
}

int connect(SOCKET s, const struct sockaddr* name, int nameLength) {
    std::shared_ptr<SocketObj> so = lookup(s);
    if (!so) return SOCKET_ERROR;
    sk::Inet4 to;
    if (!readAddress(name, nameLength, &to)) return SOCKET_ERROR;
    int r = sk::connectFd(so->fd, to);
    if ((r == -WSAEWOULDBLOCK || r == -WSAEALREADY) && skv::platform::isVirtualClock()) {
        // Virtual time runs ahead of the network: a caller that polls the connection between
        // sleeps could see its whole time-out pass before a loopback handshake has had a
        // microsecond. A pending connection is therefore given a little real time first.
        sk::awaitConnection(so->fd, kVirtualConnectGraceMs);
        if (r == -WSAEALREADY) r = sk::connectFd(so->fd, to);
    }
    return r < 0 ? failWith(-r) : 0;
}

int bind(SOCKET s, const struct sockaddr* name, int nameLength) {
    std::shared_ptr<SocketObj> so = lookup(s);
    if (!so) return SOCKET_ERROR;
    sk::Inet4 at;
    if (!readAddress(name, nameLength, &at)) return SOCKET_ERROR;
    int r = sk::bindFd(so->fd, at);
    return r < 0 ? failWith(-r) : 0;
}

int listen(SOCKET s, int backlog) {
    std::shared_ptr<SocketObj> so = lookup(s);
    if (!so) return SOCKET_ERROR;
    int r = sk::listenFd(so->fd, backlog < 0 ? 0 : backlog);
    return r < 0 ? failWith(-r) : 0;
}

SOCKET accept(SOCKET s, struct sockaddr* address, int* addressLength) {
    std::shared_ptr<SocketObj> so = lookup(s);
    if (!so) return INVALID_SOCKET;
    if (address && (!addressLength || *addressLength < static_cast<int>(sizeof(sockaddr_in)))) {
        WSASetLastError(WSAEFAULT);
        return INVALID_SOCKET;
    }
    sk::Inet4 peer;
    int fd = sk::acceptFd(so->fd, &peer);
    if (fd < 0) {
        WSASetLastError(so->closed.load() ? WSAEINTR : -fd);
        return INVALID_SOCKET;
    }
    if (so->closed.load()) {
        sk::closeFd(fd);
        WSASetLastError(WSAEINTR);
        return INVALID_SOCKET;
    }
    writeAddress(peer, address, addressLength);
    return enter(fd);
}

int send(SOCKET s, const char* buffer, int length, int flags) {
    std::shared_ptr<SocketObj> so = lookup(s);
    if (!so) return SOCKET_ERROR;
    if (length < 0 || (!buffer && length > 0)) return failWith(WSAEFAULT);
    long r =
        sk::sendFd(so->fd, buffer, static_cast<size_t>(length), flags, !so->nonBlocking.load());
    return static_cast<int>(finish(r, *so));
}

int recv(SOCKET s, char* buffer, int length, int flags) {
    std::shared_ptr<SocketObj> so = lookup(s);
    if (!so) return SOCKET_ERROR;
    if (length < 0 || (!buffer && length > 0)) return failWith(WSAEFAULT);
    long r =
        sk::recvFd(so->fd, buffer, static_cast<size_t>(length), flags, !so->nonBlocking.load());
    return static_cast<int>(finish(r, *so));
}

int ioctlsocket(SOCKET s, long command, unsigned long* argument) {
    std::shared_ptr<SocketObj> so = lookup(s);
    if (!so) return SOCKET_ERROR;
    if (!argument) return failWith(WSAEFAULT);
    int r = 0;
    switch (static_cast<unsigned long>(command) & 0xFFFFFFFFu) {
    case FIONBIO:
        r = sk::setNonBlocking(so->fd, *argument != 0);
        if (r == 0) so->nonBlocking.store(*argument != 0);
        break;
    case FIONREAD:
        r = sk::bytesReadable(so->fd, argument);
        break;
    default:
        return failWith(WSAEINVAL);
    }
    return r < 0 ? failWith(-r) : 0;
}

int setsockopt(SOCKET s, int level, int name, const char* value, int length) {
    std::shared_ptr<SocketObj> so = lookup(s);
    if (!so) return SOCKET_ERROR;
    if (!value || length < 1) return failWith(WSAEFAULT);
    // Windows takes a BOOL or DWORD for each of these; a single byte is accepted as a BOOL.
    int v = 0;
    if (length >= 4)
        std::memcpy(&v, value, 4);
    else
        v = static_cast<unsigned char>(value[0]);
    sk::Option option;
    if (level == SOL_SOCKET && name == SO_REUSEADDR)
        option = sk::Option::ReuseAddress;
    else if (level == SOL_SOCKET && name == SO_RCVTIMEO)
        option = sk::Option::ReceiveTimeoutMs;
    else if (level == SOL_SOCKET && name == SO_SNDTIMEO)
        option = sk::Option::SendTimeoutMs;
    else if (level == IPPROTO_TCP && name == TCP_NODELAY)
        option = sk::Option::NoDelay;
    else
        return failWith(WSAENOPROTOOPT);
    int r = sk::setOption(so->fd, option, v);
    return r < 0 ? failWith(-r) : 0;
}

int getsockname(SOCKET s, struct sockaddr* name, int* nameLength) {
    std::shared_ptr<SocketObj> so = lookup(s);
    if (!so) return SOCKET_ERROR;
    if (!name || !nameLength || *nameLength < static_cast<int>(sizeof(sockaddr_in)))
        return failWith(WSAEFAULT);
    sk::Inet4 at;
    int r = sk::localAddress(so->fd, &at);
    if (r < 0) return failWith(-r);
    writeAddress(at, name, nameLength);
    return 0;
}

int skv::platform::waitForSocketData(SOCKET s, DWORD milliseconds) {
    std::shared_ptr<SocketObj> so = lookup(s);
    if (!so) return SOCKET_ERROR;
    const bool limited = milliseconds != INFINITE;
    const uint64_t deadline = clockNowMs() + milliseconds;
    DWORD step = kFirstVirtualStepMs;
    for (;;) {
        // A socket closed under the wait is for the recv that follows to report.
        if (so->closed.load()) return 1;
        const uint64_t now = clockNowMs();
        const uint64_t left = !limited ? UINT64_MAX : deadline > now ? deadline - now : 0;
        if (limited && isVirtualClock()) {
            // Virtual time runs ahead of the network: the peer first gets a little real time, and
            // only then does the clock move, a longer stretch each time it stays silent.
            if (sk::awaitReadable(so->fd, kVirtualReadGraceMs)) return 1;
            if (left == 0) return 0;
            Sleep(static_cast<DWORD>(std::min<uint64_t>(left, step)));
            step = std::min(step * 2, kLongestVirtualStepMs);
        } else {
            if (sk::awaitReadable(so->fd, static_cast<int>(std::min(left, kRealSliceMs)))) return 1;
            if (left == 0) return 0;
        }
    }
}

struct hostent* gethostbyname(const char* name) {
    if (startupCount.load() <= 0) {
        WSASetLastError(WSANOTINITIALISED);
        return nullptr;
    }
    if (!name) {
        WSASetLastError(WSAEFAULT);
        return nullptr;
    }
    thread_local HostResult result;
    std::vector<uint32_t> addresses;
    std::string canonical;
    int r = sk::resolve(name, &addresses, &canonical);
    if (r != 0) {
        WSASetLastError(r);
        return nullptr;
    }
    result.name = std::move(canonical);
    result.addresses = std::move(addresses);
    result.addressList.clear();
    for (uint32_t& a : result.addresses)
        result.addressList.push_back(reinterpret_cast<char*>(&a));
    result.addressList.push_back(nullptr);
    result.entry.h_name = result.name.data();
    result.entry.h_aliases = result.aliases;
    result.entry.h_addrtype = AF_INET;
    result.entry.h_length = 4;
    result.entry.h_addr_list = result.addressList.data();
    return &result.entry;
}

unsigned long inet_addr(const char* text) {
    uint32_t a = 0;
    if (!sk::parseAddress(text, &a)) return INADDR_NONE;
    return a;
}

char* inet_ntoa(struct in_addr address) {
    thread_local char text[16];
    const auto& b = address.S_un.S_un_b;
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", b.s_b1, b.s_b2, b.s_b3, b.s_b4);
    return text;
}

unsigned short htons(unsigned short value) {
    return swapIfLittle(static_cast<uint16_t>(value));
}

unsigned short ntohs(unsigned short value) {
    return swapIfLittle(static_cast<uint16_t>(value));
}

unsigned long htonl(unsigned long value) {
    return swapIfLittle(static_cast<uint32_t>(value));
}

unsigned long ntohl(unsigned long value) {
    return swapIfLittle(static_cast<uint32_t>(value));
}
