// Windows Sockets 1.1 subset: BSD sockets whose failures are reported as Windows Sockets error
// codes through WSAGetLastError. Only what the player and the streaming server call.
//
// Unlike the rest of the platform these functions have C++ linkage: their names are those of the
// C library's own socket calls, and exporting them unmangled from a shared library would replace
// the C library's versions for every library in the process. For the same reason the
// implementation keeps the system's socket headers in a file of their own, and this header
// declares nothing the C library's general headers already declare (the u_short and u_long
// typedefs, fd_set, timeval, select); code writes unsigned short and unsigned long instead.
#pragma once

#include "platform/win32.h"

typedef uintptr_t SOCKET;

#define INVALID_SOCKET ((SOCKET)(~(uintptr_t)0))
#define SOCKET_ERROR (-1)

#define AF_INET 2
#define SOCK_STREAM 1
#define IPPROTO_TCP 6
#define INADDR_ANY 0x00000000u
#define INADDR_NONE 0xFFFFFFFFu
#define INADDR_LOOPBACK 0x7F000001u

#define SOL_SOCKET 0xFFFF
#define SO_REUSEADDR 0x0004
#define SO_RCVTIMEO 0x1006
#define SO_SNDTIMEO 0x1005
#define TCP_NODELAY 0x0001

#define SD_RECEIVE 0
#define SD_SEND 1
#define SD_BOTH 2

#define FIONBIO 0x8004667Eu
#define FIONREAD 0x4004667Fu

// Windows Sockets error codes.
#define WSAEINTR 10004
#define WSAEBADF 10009
#define WSAEACCES 10013
#define WSAEFAULT 10014
#define WSAEINVAL 10022
#define WSAEMFILE 10024
#define WSAEWOULDBLOCK 10035
#define WSAEINPROGRESS 10036
#define WSAEALREADY 10037
#define WSAENOTSOCK 10038
#define WSAEDESTADDRREQ 10039
#define WSAEMSGSIZE 10040
#define WSAEPROTOTYPE 10041
#define WSAENOPROTOOPT 10042
#define WSAEPROTONOSUPPORT 10043
#define WSAESOCKTNOSUPPORT 10044
#define WSAEOPNOTSUPP 10045
#define WSAEAFNOSUPPORT 10047
#define WSAEADDRINUSE 10048
#define WSAEADDRNOTAVAIL 10049
#define WSAENETDOWN 10050
#define WSAENETUNREACH 10051
#define WSAENETRESET 10052
#define WSAECONNABORTED 10053
#define WSAECONNRESET 10054
#define WSAENOBUFS 10055
#define WSAEISCONN 10056
#define WSAENOTCONN 10057
#define WSAESHUTDOWN 10058
#define WSAETIMEDOUT 10060
#define WSAECONNREFUSED 10061
#define WSAEHOSTDOWN 10064
#define WSAEHOSTUNREACH 10065
#define WSASYSNOTREADY 10091
#define WSAVERNOTSUPPORTED 10092
#define WSANOTINITIALISED 10093
#define WSAHOST_NOT_FOUND 11001
#define WSATRY_AGAIN 11002
#define WSANO_RECOVERY 11003
#define WSANO_DATA 11004

#define MAKEWORD(lo, hi) ((WORD)(((BYTE)(lo)) | (((WORD)((BYTE)(hi))) << 8)))

typedef struct WSAData {
    WORD wVersion;
    WORD wHighVersion;
    char szDescription[257];
    char szSystemStatus[129];
    unsigned short iMaxSockets;
    unsigned short iMaxUdpDg;
    char* lpVendorInfo;
} WSADATA, *LPWSADATA;

typedef struct in_addr {
    union {
        struct {
            uint8_t s_b1, s_b2, s_b3, s_b4;
        } S_un_b;
        uint32_t S_addr;
    } S_un;
} IN_ADDR;
#define s_addr S_un.S_addr

struct sockaddr {
    unsigned short sa_family;
    char sa_data[14];
};

struct sockaddr_in {
    short sin_family;
    unsigned short sin_port;
    struct in_addr sin_addr;
    char sin_zero[8];
};

struct hostent {
    char* h_name;
    char** h_aliases;
    short h_addrtype;
    short h_length;
    char** h_addr_list;
};
#define h_addr h_addr_list[0]

// As on Windows: socket and gethostbyname fail with WSANOTINITIALISED until WSAStartup has
// succeeded; closesocket may be called while another thread is blocked on the socket, whose call
// then fails with WSAEINTR; a blocking socket whose SO_RCVTIMEO or SO_SNDTIMEO runs out reports
// WSAETIMEDOUT. Those two time-outs count real time, not the platform clock. send never raises a
// signal when the peer has gone. On the virtual clock a non-blocking connect that is still in
// progress is first given up to 25 ms of real time to complete, so that a loop polling it
// between (instant) virtual sleeps does not time out before a loopback handshake could finish.
SKV_PLATFORM_API int WSAStartup(WORD versionRequested, LPWSADATA data);
SKV_PLATFORM_API int WSACleanup(void);
SKV_PLATFORM_API int WSAGetLastError(void);
SKV_PLATFORM_API void WSASetLastError(int error);

SKV_PLATFORM_API SOCKET socket(int af, int type, int protocol);
SKV_PLATFORM_API int closesocket(SOCKET s);
SKV_PLATFORM_API int shutdown(SOCKET s, int how);
SKV_PLATFORM_API int connect(SOCKET s, const struct sockaddr* name, int nameLength);
SKV_PLATFORM_API int bind(SOCKET s, const struct sockaddr* name, int nameLength);
SKV_PLATFORM_API int listen(SOCKET s, int backlog);
SKV_PLATFORM_API SOCKET accept(SOCKET s, struct sockaddr* address, int* addressLength);
SKV_PLATFORM_API int send(SOCKET s, const char* buffer, int length, int flags);
SKV_PLATFORM_API int recv(SOCKET s, char* buffer, int length, int flags);
SKV_PLATFORM_API int ioctlsocket(SOCKET s, long command, unsigned long* argument);
SKV_PLATFORM_API int setsockopt(SOCKET s, int level, int name, const char* value, int length);
SKV_PLATFORM_API int getsockname(SOCKET s, struct sockaddr* name, int* nameLength);

SKV_PLATFORM_API struct hostent* gethostbyname(const char* name);
SKV_PLATFORM_API unsigned long inet_addr(const char* text);
SKV_PLATFORM_API char* inet_ntoa(struct in_addr address);
SKV_PLATFORM_API unsigned short htons(unsigned short value);
SKV_PLATFORM_API unsigned short ntohs(unsigned short value);
SKV_PLATFORM_API unsigned long htonl(unsigned long value);
SKV_PLATFORM_API unsigned long ntohl(unsigned long value);

namespace skv::platform {

// Waits until a recv on `s` would not block (bytes have arrived, the peer has ended the
// connection, the connection has failed or the socket has been closed) or until `milliseconds`
// have passed on the platform clock; INFINITE waits without limit. Returns 1 when a recv would
// not block, 0 when the time ran out, SOCKET_ERROR (WSAENOTSOCK) for a socket that is none.
// Windows Sockets does this with select(), whose name and types belong to the C library here.
//
// On the virtual clock a limited wait alternates real I/O (up to 50 ms for the bytes to come)
// with platform sleeps of a stretch that starts at 10 ms and doubles up to 4 s. A peer that
// answers within moments so costs no virtual time, one that pauses briefly costs little, and one
// that stays silent lets a minute of virtual time pass in about a second of real time. A wait
// without limit never moves virtual time.
SKV_PLATFORM_API int waitForSocketData(SOCKET s, DWORD milliseconds);

} // namespace skv::platform
