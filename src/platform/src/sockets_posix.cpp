// BSD sockets for the Windows Sockets layer (see sockets_posix.h).
#include "sockets_posix.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace skv::platform::sockets {

namespace {

// The Windows Sockets codes this file reports; winsock.h cannot be included beside the system's
// socket headers.
enum : int {
    kEINTR = 10004,
    kEACCES = 10013,
    kEFAULT = 10014,
    kEINVAL = 10022,
    kEMFILE = 10024,
    kEWOULDBLOCK = 10035,
    kEINPROGRESS = 10036,
    kEALREADY = 10037,
    kENOTSOCK = 10038,
    kEDESTADDRREQ = 10039,
    kEMSGSIZE = 10040,
    kEPROTOTYPE = 10041,
    kENOPROTOOPT = 10042,
    kEPROTONOSUPPORT = 10043,
    kEOPNOTSUPP = 10045,
    kEAFNOSUPPORT = 10047,
    kEADDRINUSE = 10048,
    kEADDRNOTAVAIL = 10049,
    kENETDOWN = 10050,
    kENETUNREACH = 10051,
    kENETRESET = 10052,
    kECONNABORTED = 10053,
    kECONNRESET = 10054,
    kENOBUFS = 10055,
    kEISCONN = 10056,
    kENOTCONN = 10057,
    kESHUTDOWN = 10058,
    kETIMEDOUT = 10060,
    kECONNREFUSED = 10061,
    kEHOSTDOWN = 10064,
    kEHOSTUNREACH = 10065,
    kHOST_NOT_FOUND = 11001,
    kTRY_AGAIN = 11002,
    kNO_RECOVERY = 11003,
    kNO_DATA = 11004,
};

int fail() {
    return -wsaFromErrno(errno);
}

sockaddr_in toSockaddr(const Inet4& a) {
    sockaddr_in s{};
    s.sin_family = AF_INET;
    s.sin_port = a.port;
    s.sin_addr.s_addr = a.address;
    return s;
}

Inet4 fromSockaddr(const sockaddr_in& s) {
    return Inet4{s.sin_addr.s_addr, s.sin_port};
}

int systemFlags(int flags) {
    int out = 0;
    if (flags & kFlagOob) out |= MSG_OOB;
    if (flags & kFlagPeek) out |= MSG_PEEK;
    if (flags & kFlagWaitAll) out |= MSG_WAITALL;
    return out;
}

// A blocking call whose SO_RCVTIMEO or SO_SNDTIMEO ran out is a time-out on Windows.
int transferError(bool blocking) {
    if (blocking && (errno == EAGAIN || errno == EWOULDBLOCK)) return -kETIMEDOUT;
    return fail();
}

} // namespace

int wsaFromErrno(int err) {
    switch (err) {
    case EINTR:
        return kEINTR;
    case EBADF:
    case ENOTSOCK:
        return kENOTSOCK;
    case EACCES:
    case EPERM:
        return kEACCES;
    case EFAULT:
        return kEFAULT;
    case EINVAL:
        return kEINVAL;
    case EMFILE:
    case ENFILE:
        return kEMFILE;
    case EAGAIN:
        return kEWOULDBLOCK;
    case EINPROGRESS:
        return kEINPROGRESS;
    case EALREADY:
        return kEALREADY;
    case EDESTADDRREQ:
        return kEDESTADDRREQ;
    case EMSGSIZE:
        return kEMSGSIZE;
    case EPROTOTYPE:
        return kEPROTOTYPE;
    case ENOPROTOOPT:
        return kENOPROTOOPT;
    case EPROTONOSUPPORT:
        return kEPROTONOSUPPORT;
    case EOPNOTSUPP:
        return kEOPNOTSUPP;
    case EAFNOSUPPORT:
        return kEAFNOSUPPORT;
    case EADDRINUSE:
        return kEADDRINUSE;
    case EADDRNOTAVAIL:
        return kEADDRNOTAVAIL;
    case ENETDOWN:
        return kENETDOWN;
    case ENETUNREACH:
        return kENETUNREACH;
    case ENETRESET:
        return kENETRESET;
    case ECONNABORTED:
        return kECONNABORTED;
    case ECONNRESET:
        return kECONNRESET;
    case ENOBUFS:
    case ENOMEM:
        return kENOBUFS;
    case EISCONN:
        return kEISCONN;
    case ENOTCONN:
        return kENOTCONN;
    case EPIPE:
    case ESHUTDOWN:
        return kESHUTDOWN;
    case ETIMEDOUT:
        return kETIMEDOUT;
    case ECONNREFUSED:
        return kECONNREFUSED;
    case EHOSTDOWN:
        return kEHOSTDOWN;
    case EHOSTUNREACH:
        return kEHOSTUNREACH;
    default:
        return kEINVAL;
    }
}

int openTcp() {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
    return fd >= 0 ? fd : fail();
}

int closeFd(int fd) {
    return ::close(fd) == 0 ? 0 : fail();
}

int shutdownFd(int fd, int how) {
    int h = how == 0 ? SHUT_RD : how == 1 ? SHUT_WR : SHUT_RDWR;
    return ::shutdown(fd, h) == 0 ? 0 : fail();
}

int connectFd(int fd, const Inet4& to) {
    sockaddr_in s = toSockaddr(to);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&s), sizeof s) == 0) return 0;
    // The system says "in progress" only for the call that started the connection.
    if (errno == EINPROGRESS) return -kEWOULDBLOCK;
    return fail();
}

void awaitConnection(int fd, int ms) {
    pollfd p{};
    p.fd = fd;
    p.events = POLLOUT;
    while (::poll(&p, 1, ms) < 0 && errno == EINTR) {
    }
}

bool awaitReadable(int fd, int ms) {
    pollfd p{};
    p.fd = fd;
    p.events = POLLIN;
    int r;
    while ((r = ::poll(&p, 1, ms)) < 0 && errno == EINTR) {
    }
    // A hang-up or an error is news too: the recv that follows reports it.
    return r != 0;
}

int bindFd(int fd, const Inet4& at) {
    sockaddr_in s = toSockaddr(at);
    return ::bind(fd, reinterpret_cast<const sockaddr*>(&s), sizeof s) == 0 ? 0 : fail();
}

int listenFd(int fd, int backlog) {
    return ::listen(fd, backlog) == 0 ? 0 : fail();
}

int acceptFd(int fd, Inet4* peer) {
    for (;;) {
        sockaddr_in s{};
        socklen_t n = sizeof s;
        int c = ::accept4(fd, reinterpret_cast<sockaddr*>(&s), &n, SOCK_CLOEXEC);
        if (c >= 0) {
            if (peer) *peer = fromSockaddr(s);
            return c;
        }
        if (errno != EINTR) return fail();
    }
}

long sendFd(int fd, const void* buffer, size_t length, int flags, bool blocking) {
    for (;;) {
        ssize_t r = ::send(fd, buffer, length, systemFlags(flags) | MSG_NOSIGNAL);
        if (r >= 0) return static_cast<long>(r);
        if (errno != EINTR) return transferError(blocking);
    }
}

long recvFd(int fd, void* buffer, size_t length, int flags, bool blocking) {
    for (;;) {
        ssize_t r = ::recv(fd, buffer, length, systemFlags(flags));
        if (r >= 0) return static_cast<long>(r);
        if (errno != EINTR) return transferError(blocking);
    }
}

int setNonBlocking(int fd, bool on) {
    int f = ::fcntl(fd, F_GETFL);
    if (f < 0) return fail();
    f = on ? (f | O_NONBLOCK) : (f & ~O_NONBLOCK);
    return ::fcntl(fd, F_SETFL, f) == 0 ? 0 : fail();
}

int bytesReadable(int fd, unsigned long* count) {
    int n = 0;
    if (::ioctl(fd, FIONREAD, &n) != 0) return fail();
    *count = static_cast<unsigned long>(n);
    return 0;
}

int setOption(int fd, Option option, int value) {
    int r = -1;
    switch (option) {
    case Option::ReuseAddress:
        r = ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &value, sizeof value);
        break;
    case Option::NoDelay:
        r = ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &value, sizeof value);
        break;
    case Option::ReceiveTimeoutMs:
    case Option::SendTimeoutMs: {
        timeval tv{};
        unsigned ms = static_cast<unsigned>(value);
        tv.tv_sec = static_cast<time_t>(ms / 1000);
        tv.tv_usec = static_cast<suseconds_t>(ms % 1000) * 1000;
        int name = option == Option::ReceiveTimeoutMs ? SO_RCVTIMEO : SO_SNDTIMEO;
        r = ::setsockopt(fd, SOL_SOCKET, name, &tv, sizeof tv);
        break;
    }
    }
    return r == 0 ? 0 : fail();
}

int localAddress(int fd, Inet4* at) {
    sockaddr_in s{};
    socklen_t n = sizeof s;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&s), &n) != 0) return fail();
    *at = fromSockaddr(s);
    return 0;
}

int resolve(const char* name, std::vector<uint32_t>* addresses, std::string* canonicalName) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_CANONNAME;
    addrinfo* list = nullptr;
    int r = ::getaddrinfo(name, nullptr, &hints, &list);
    if (r != 0) {
        switch (r) {
        case EAI_AGAIN:
            return kTRY_AGAIN;
        case EAI_FAIL:
        case EAI_MEMORY:
        case EAI_SYSTEM:
            return kNO_RECOVERY;
        case EAI_NODATA:
        case EAI_ADDRFAMILY:
            return kNO_DATA;
        default:
            return kHOST_NOT_FOUND;
        }
    }
    addresses->clear();
    *canonicalName = list->ai_canonname ? list->ai_canonname : name;
    for (addrinfo* a = list; a; a = a->ai_next) {
        if (a->ai_family != AF_INET || a->ai_addrlen < sizeof(sockaddr_in)) continue;
        uint32_t address = reinterpret_cast<const sockaddr_in*>(a->ai_addr)->sin_addr.s_addr;
        bool seen = false;
        for (uint32_t x : *addresses)
            seen = seen || x == address;
        if (!seen) addresses->push_back(address);
    }
    ::freeaddrinfo(list);
    return addresses->empty() ? kNO_DATA : 0;
}

bool parseAddress(const char* text, uint32_t* address) {
    in_addr a{};
    if (!text || !*text || ::inet_aton(text, &a) == 0) return false;
    *address = a.s_addr;
    return true;
}

} // namespace skv::platform::sockets
