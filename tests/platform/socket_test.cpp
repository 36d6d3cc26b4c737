// Windows Sockets over loopback: error codes, non-blocking connect, closing under a blocked call,
// name resolution and address text. Ports are chosen by the system at run time.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>

#include "platform/winsock.h"

namespace {

class SocketTest : public ::testing::Test {
protected:
    void SetUp() override {
        WSADATA data;
        ASSERT_EQ(WSAStartup(MAKEWORD(1, 1), &data), 0);
        EXPECT_EQ(data.wVersion, MAKEWORD(1, 1));
    }
    void TearDown() override { EXPECT_EQ(WSACleanup(), 0); }
};

sockaddr_in loopback(unsigned short port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = static_cast<uint32_t>(htonl(INADDR_LOOPBACK));
    return a;
}

const sockaddr* asAddr(const sockaddr_in& a) {
    return reinterpret_cast<const sockaddr*>(&a);
}

// A listening socket on a loopback port the system picked.
SOCKET listenOn(unsigned short* port, int backlog = 4) {
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    EXPECT_NE(s, INVALID_SOCKET);
    sockaddr_in a = loopback(0);
    EXPECT_EQ(bind(s, asAddr(a), sizeof a), 0);
    EXPECT_EQ(listen(s, backlog), 0);
    int n = sizeof a;
    EXPECT_EQ(getsockname(s, reinterpret_cast<sockaddr*>(&a), &n), 0);
    *port = ntohs(a.sin_port);
    return s;
}

SOCKET connectTo(unsigned short port) {
    SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a = loopback(port);
    EXPECT_EQ(connect(s, asAddr(a), sizeof a), 0) << WSAGetLastError();
    return s;
}

TEST_F(SocketTest, ConnectedPairCarriesBytesBothWaysAndReportsThePeer) {
    unsigned short port = 0;
    SOCKET l = listenOn(&port);
    ASSERT_NE(port, 0);
    SOCKET c = connectTo(port);
    sockaddr_in peer{};
    int n = sizeof peer;
    SOCKET a = accept(l, reinterpret_cast<sockaddr*>(&peer), &n);
    ASSERT_NE(a, INVALID_SOCKET);
    EXPECT_EQ(n, static_cast<int>(sizeof peer));
    EXPECT_EQ(peer.sin_family, AF_INET);
    EXPECT_STREQ(inet_ntoa(peer.sin_addr), "127.0.0.1");

    EXPECT_EQ(send(c, "hello", 5, 0), 5);
    char buf[16] = {};
    int got = 0;
    while (got < 5) {
        int r = recv(a, buf + got, sizeof buf - got, 0);
        ASSERT_GT(r, 0);
        got += r;
    }
    EXPECT_EQ(std::string(buf, 5), "hello");
    EXPECT_EQ(send(a, "ok", 2, 0), 2);
    // A peek leaves the bytes for the next read, and FIONREAD counts them.
    ASSERT_EQ(recv(c, buf, 2, 2 /* MSG_PEEK */), 2);
    unsigned long readable = 0;
    EXPECT_EQ(ioctlsocket(c, static_cast<long>(FIONREAD), &readable), 0);
    EXPECT_EQ(readable, 2u);
    // An orderly close reads as 0.
    EXPECT_EQ(closesocket(a), 0);
    EXPECT_EQ(recv(c, buf, 2, 0), 2);
    EXPECT_EQ(recv(c, buf, 2, 0), 0);
    closesocket(c);
    closesocket(l);
}

TEST_F(SocketTest, FailuresCarryWindowsSocketsCodes) {
    char buf[4];
    EXPECT_EQ(recv(0x7777, buf, 1, 0), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAENOTSOCK);
    EXPECT_EQ(socket(AF_INET, 2 /* datagram */, 0), INVALID_SOCKET);
    EXPECT_EQ(WSAGetLastError(), WSAESOCKTNOSUPPORT);

    // A port nobody listens on: the listener is gone before the connect.
    unsigned short port = 0;
    closesocket(listenOn(&port));
    SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a = loopback(port);
    EXPECT_EQ(connect(s, asAddr(a), sizeof a), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAECONNREFUSED);

    // The error belongs to the thread that failed.
    int other = -1;
    std::thread([&] {
        WSASetLastError(0);
        other = WSAGetLastError();
    }).join();
    EXPECT_EQ(other, 0);
    EXPECT_EQ(WSAGetLastError(), WSAECONNREFUSED);

    // Not connected: reading fails rather than blocking.
    SOCKET fresh = socket(AF_INET, SOCK_STREAM, 0);
    EXPECT_EQ(recv(fresh, buf, 1, 0), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAENOTCONN);
    closesocket(fresh);
    closesocket(s);
    EXPECT_EQ(closesocket(s), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAENOTSOCK);
}

TEST_F(SocketTest, NonBlockingConnectReportsWouldBlockThenAlreadyWhileTheServerIsFull) {
    // A listener that never accepts, with its one-place queue taken: the next connection stays
    // in progress.
    unsigned short port = 0;
    SOCKET l = listenOn(&port, 0);
    SOCKET first = connectTo(port);

    SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
    unsigned long on = 1;
    ASSERT_EQ(ioctlsocket(s, static_cast<long>(FIONBIO), &on), 0);
    sockaddr_in a = loopback(port);
    EXPECT_EQ(connect(s, asAddr(a), sizeof a), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEWOULDBLOCK);
    EXPECT_EQ(connect(s, asAddr(a), sizeof a), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEALREADY);
    // Reading a socket that is not connected yet does not block either.
    char c;
    EXPECT_EQ(recv(s, &c, 1, 0), SOCKET_ERROR);
    EXPECT_NE(WSAGetLastError(), 0);
    closesocket(s);
    closesocket(first);
    closesocket(l);
}

TEST_F(SocketTest, NonBlockingConnectCompletesAndThenReportsConnected) {
    unsigned short port = 0;
    SOCKET l = listenOn(&port);
    SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
    unsigned long on = 1;
    ASSERT_EQ(ioctlsocket(s, static_cast<long>(FIONBIO), &on), 0);
    sockaddr_in a = loopback(port);
    int r = connect(s, asAddr(a), sizeof a);
    if (r == SOCKET_ERROR) {
        EXPECT_EQ(WSAGetLastError(), WSAEWOULDBLOCK);
    }
    // The listener completes the handshake; keep asking until the connection is reported made.
    SOCKET accepted = accept(l, nullptr, nullptr);
    ASSERT_NE(accepted, INVALID_SOCKET);
    int error = WSAEALREADY;
    for (int i = 0; i < 1000 && error == WSAEALREADY; ++i) {
        r = connect(s, asAddr(a), sizeof a);
        error = r == 0 ? 0 : WSAGetLastError();
    }
    EXPECT_TRUE(error == 0 || error == WSAEISCONN) << error;
    EXPECT_EQ(connect(s, asAddr(a), sizeof a), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEISCONN);
    // Back to blocking: a read now waits for the bytes.
    unsigned long off = 0;
    ASSERT_EQ(ioctlsocket(s, static_cast<long>(FIONBIO), &off), 0);
    EXPECT_EQ(send(accepted, "x", 1, 0), 1);
    char c = 0;
    EXPECT_EQ(recv(s, &c, 1, 0), 1);
    EXPECT_EQ(c, 'x');
    closesocket(accepted);
    closesocket(s);
    closesocket(l);
}

TEST_F(SocketTest, ClosingFromAnotherThreadWakesABlockedReadAndAccept) {
    unsigned short port = 0;
    SOCKET l = listenOn(&port);
    SOCKET c = connectTo(port);
    SOCKET a = accept(l, nullptr, nullptr);
    ASSERT_NE(a, INVALID_SOCKET);

    std::atomic<int> readResult{1};
    std::thread reader([&] {
        char buf[8];
        readResult = recv(c, buf, sizeof buf, 0);
    });
    // Whether the reader is already blocked or not yet inside recv, it must come back.
    closesocket(c);
    reader.join();
    EXPECT_LE(readResult.load(), 0);

    std::atomic<SOCKET> acceptResult{0};
    std::thread acceptor([&] { acceptResult = accept(l, nullptr, nullptr); });
    closesocket(l);
    acceptor.join();
    EXPECT_EQ(acceptResult.load(), INVALID_SOCKET);
    closesocket(a);
}

TEST_F(SocketTest, SendingToAGonePeerFailsWithoutASignal) {
    unsigned short port = 0;
    SOCKET l = listenOn(&port);
    SOCKET c = connectTo(port);
    SOCKET a = accept(l, nullptr, nullptr);
    closesocket(a);
    char block[4096] = {};
    int r = 0;
    for (int i = 0; i < 1000 && r != SOCKET_ERROR; ++i)
        r = send(c, block, sizeof block, 0);
    ASSERT_EQ(r, SOCKET_ERROR);
    int e = WSAGetLastError();
    EXPECT_TRUE(e == WSAESHUTDOWN || e == WSAECONNRESET || e == WSAECONNABORTED) << e;
    // Shutting down our own sending side is reported as shut down.
    SOCKET c2 = connectTo(port);
    SOCKET a2 = accept(l, nullptr, nullptr);
    EXPECT_EQ(shutdown(c2, SD_SEND), 0);
    EXPECT_EQ(send(c2, "x", 1, 0), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAESHUTDOWN);
    char ch;
    EXPECT_EQ(recv(a2, &ch, 1, 0), 0);
    closesocket(a2);
    closesocket(c2);
    closesocket(c);
    closesocket(l);
}

TEST_F(SocketTest, ReceiveTimeOutIsReportedAsTimedOut) {
    unsigned short port = 0;
    SOCKET l = listenOn(&port);
    SOCKET c = connectTo(port);
    SOCKET a = accept(l, nullptr, nullptr);
    DWORD ms = 20;
    ASSERT_EQ(setsockopt(c, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&ms), 4), 0);
    char ch;
    EXPECT_EQ(recv(c, &ch, 1, 0), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAETIMEDOUT);
    BOOL yes = TRUE;
    EXPECT_EQ(setsockopt(c, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&yes), 4), 0);
    EXPECT_EQ(setsockopt(c, 77, 1, reinterpret_cast<const char*>(&yes), 4), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAENOPROTOOPT);
    closesocket(a);
    closesocket(c);
    closesocket(l);
}

TEST_F(SocketTest, NamesResolveIntoThreadOwnedAnswers) {
    hostent* h = gethostbyname("localhost");
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(h->h_addrtype, AF_INET);
    EXPECT_EQ(h->h_length, 4);
    ASSERT_NE(h->h_addr_list[0], nullptr);
    in_addr first;
    std::memcpy(&first, h->h_addr, 4);
    EXPECT_STREQ(inet_ntoa(first), "127.0.0.1");

    // Another thread's lookup does not disturb this thread's answer.
    std::thread([] { EXPECT_NE(gethostbyname("127.0.0.2"), nullptr); }).join();
    std::memcpy(&first, h->h_addr, 4);
    EXPECT_STREQ(inet_ntoa(first), "127.0.0.1");

    EXPECT_EQ(gethostbyname("no-such-host.invalid"), nullptr);
    int e = WSAGetLastError();
    EXPECT_TRUE(e == WSAHOST_NOT_FOUND || e == WSANO_DATA || e == WSATRY_AGAIN) << e;
}

TEST_F(SocketTest, DottedAddressesParseAndPrint) {
    EXPECT_EQ(inet_addr("127.0.0.1"), htonl(0x7F000001));
    EXPECT_EQ(inet_addr("10.1.2.3"), htonl(0x0A010203));
    EXPECT_EQ(inet_addr("10.258"), htonl(0x0A000102)); // the last part fills the rest
    EXPECT_EQ(inet_addr("0x7f.1"), htonl(0x7F000001));
    EXPECT_EQ(inet_addr("256.1.1.1"), INADDR_NONE);
    EXPECT_EQ(inet_addr("example.com"), INADDR_NONE);
    EXPECT_EQ(inet_addr(""), INADDR_NONE);
    EXPECT_EQ(inet_addr(nullptr), INADDR_NONE);
    in_addr a;
    a.s_addr = static_cast<uint32_t>(inet_addr("192.168.10.200"));
    EXPECT_STREQ(inet_ntoa(a), "192.168.10.200");
    EXPECT_EQ(htons(0x1234), 0x3412);
    EXPECT_EQ(ntohl(htonl(0x01020304ul)), 0x01020304ul);
}

TEST(SocketStartup, SocketsNeedTheLibraryStarted) {
    EXPECT_EQ(socket(AF_INET, SOCK_STREAM, 0), INVALID_SOCKET);
    EXPECT_EQ(WSAGetLastError(), WSANOTINITIALISED);
    EXPECT_EQ(WSACleanup(), SOCKET_ERROR);
    WSADATA data;
    EXPECT_EQ(WSAStartup(MAKEWORD(0, 0), &data), WSAVERNOTSUPPORTED);
    EXPECT_EQ(WSAStartup(MAKEWORD(1, 1), nullptr), WSAEFAULT);
    ASSERT_EQ(WSAStartup(MAKEWORD(3, 0), &data), 0);
    EXPECT_EQ(data.wVersion, MAKEWORD(2, 2));
    SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
    EXPECT_NE(s, INVALID_SOCKET);
    closesocket(s);
    EXPECT_EQ(WSACleanup(), 0);
}

} // namespace
