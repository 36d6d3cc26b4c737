// The system's BSD socket calls behind the Windows Sockets layer, in neutral types: the Windows
// Sockets names (socket, connect, sockaddr, hostent, ...) are the system's own names too, so the
// two sets of declarations can never meet in one file. Only this backend includes the system's
// socket headers.
//
// Every call returns a value >= 0 on success, or a Windows Sockets error code negated.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace skv::platform::sockets {

// An IPv4 address and port, both in network byte order.
struct Inet4 {
    uint32_t address = 0;
    uint16_t port = 0;
};

// Flags of send and recv, with their Windows Sockets values.
enum : int { kFlagOob = 0x1, kFlagPeek = 0x2, kFlagWaitAll = 0x8 };

enum class Option { ReuseAddress, ReceiveTimeoutMs, SendTimeoutMs, NoDelay };

// The Windows Sockets code for a system error number.
int wsaFromErrno(int err);

int openTcp();
int closeFd(int fd);
int shutdownFd(int fd, int how); // 0 receive, 1 send, 2 both
// A fresh non-blocking connect reports WSAEWOULDBLOCK and a pending one WSAEALREADY, as Windows
// Sockets does; a later call succeeds once the connection is made.
int connectFd(int fd, const Inet4& to);
// Waits up to `ms` milliseconds of real time for a connection in progress to complete or fail.
void awaitConnection(int fd, int ms);
// Waits up to `ms` milliseconds of real time for bytes to read, the peer's end of the connection
// or a failure; false when the time ran out first.
bool awaitReadable(int fd, int ms);
int bindFd(int fd, const Inet4& at);
int listenFd(int fd, int backlog);
int acceptFd(int fd, Inet4* peer);
// Never raises SIGPIPE. A blocking socket whose time-out ran out reports WSAETIMEDOUT.
long sendFd(int fd, const void* buffer, size_t length, int flags, bool blocking);
long recvFd(int fd, void* buffer, size_t length, int flags, bool blocking);
int setNonBlocking(int fd, bool on);
int bytesReadable(int fd, unsigned long* count);
int setOption(int fd, Option option, int value);
int localAddress(int fd, Inet4* at);

// The IPv4 addresses of a host name (or dotted address), first the preferred one. 0, or a
// positive Windows Sockets name-resolution code (WSAHOST_NOT_FOUND, WSATRY_AGAIN, ...).
int resolve(const char* name, std::vector<uint32_t>* addresses, std::string* canonicalName);
// A dotted address in any of the forms a.b.c.d, a.b.c, a.b, a (decimal, octal or hex parts).
bool parseAddress(const char* text, uint32_t* address);

} // namespace skv::platform::sockets
