// The streaming server source against scripted loopback servers: the native request, the HTTP
// fallback directly and through a proxy, the connection time-outs on the virtual clock, and how
// each kind of bad reply is reported.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>

#include "loopback_server.h"
#include "net/serversource.h"
#include "net/source.h"
#include "net/statuscodes.h"
#include "platform/clock.h"

namespace {

using skv::ServerSource;

struct SourceDeleter {
    void operator()(skv::Source* s) const { s->destroy(); }
};
using SourcePtr = std::unique_ptr<skv::Source, SourceDeleter>;

const std::string& movie() {
    static const std::string bytes = [] {
        std::string b;
        for (int i = 0; i < 5000; ++i)
            b.push_back(static_cast<char>(i * 31 + i / 256));
        return b;
    }();
    return bytes;
}

// Native server: records the request record, answers with the length word and the movie from
// the requested offset, in small pieces.
void serveNative(SOCKET s, LoopbackServer& server) {
    std::string record = LoopbackServer::receive(s, 256);
    server.record(record);
    if (record.size() != 256) return;
    int32_t offset = LoopbackServer::requestOffset(record);
    LoopbackServer::sendText(s, LoopbackServer::lengthWord(5000));
    for (size_t at = static_cast<size_t>(offset); at < movie().size(); at += 100)
        LoopbackServer::sendText(s, movie().substr(at, 100));
}

// Native server that reads the request and hangs up without answering.
void hangUp(SOCKET s, LoopbackServer& server) {
    server.record(LoopbackServer::receive(s, 256));
}

// HTTP server: records the request, then sends `reply` (a header and whatever follows).
LoopbackServer::Handler httpReply(std::string reply) {
    return [reply](SOCKET s, LoopbackServer& server) {
        server.record(LoopbackServer::receiveHttpRequest(s));
        LoopbackServer::sendText(s, reply);
    };
}

std::string okReply(int32_t offset = 0) {
    return "HTTP/1.0 200 OK\r\nContent-Type: application/octet-stream\r\n\r\n" +
           LoopbackServer::lengthWord(5000) + movie().substr(static_cast<size_t>(offset));
}

class ServerSourceTest : public ::testing::Test {
protected:
    static constexpr uint64_t kStart = 1000000;

    void SetUp() override {
        keep("SKV_REGISTRY", registry_);
        keep("http_proxy", proxyVariable_);
        // No proxy unless a test sets one up.
        setenv("SKV_REGISTRY", "/nonexistent/skv-registry.conf", 1);
        unsetenv("http_proxy");
        skv::platform::setVirtualClock(true, kStart);
    }
    void TearDown() override {
        skv::platform::setVirtualClock(false);
        skv::platform::leaveVirtualClock();
        restore("SKV_REGISTRY", registry_);
        restore("http_proxy", proxyVariable_);
        if (!registryFile_.empty()) std::remove(registryFile_.c_str());
    }

    static uint64_t elapsed() { return skv::platform::clockNowMs() - kStart; }

    // A source for qmsp://127.0.0.1:<port>/<path> whose HTTP fallback goes to `httpPort`.
    static SourcePtr source(unsigned short port, unsigned short httpPort,
                            const char* path = "movies/a.qms") {
        std::string url = "qmsp://127.0.0.1:" + std::to_string(port) + "/" + path;
        SourcePtr s(skv::openSource(url.c_str()));
        auto* server = dynamic_cast<ServerSource*>(s.get());
        EXPECT_NE(server, nullptr);
        if (server) server->setHttpPort(httpPort);
        return s;
    }

    static std::string readAll(skv::Source& s, int32_t n) {
        std::string out(static_cast<size_t>(n), '\0');
        int32_t got = s.read(out.data(), n);
        out.resize(got > 0 ? static_cast<size_t>(got) : 0);
        return out;
    }

    void useRegistry(const std::string& text) {
        char name[] = "/tmp/skv_registry_XXXXXX";
        int fd = mkstemp(name);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
        ::close(fd);
        registryFile_ = name;
        setenv("SKV_REGISTRY", name, 1);
    }

private:
    using Saved = std::pair<bool, std::string>;
    static void keep(const char* name, Saved& saved) {
        const char* v = std::getenv(name);
        saved = {v != nullptr, v ? v : ""};
    }
    static void restore(const char* name, const Saved& saved) {
        if (saved.first)
            setenv(name, saved.second.c_str(), 1);
        else
            unsetenv(name);
    }
    Saved registry_, proxyVariable_;
    std::string registryFile_;
};

TEST(ServerSourceUrl, HostPortAndPathComeFromTheUrl) {
    SourcePtr s(skv::openSource("qmsp://movies.example.com/movies/a.qms"));
    auto* a = dynamic_cast<ServerSource*>(s.get());
    ASSERT_NE(a, nullptr);
    EXPECT_STREQ(a->host(), "movies.example.com");
    EXPECT_EQ(a->port(), 537);
    EXPECT_STREQ(a->path(), "movies/a.qms");
    EXPECT_STREQ(a->url(), "qmsp://movies.example.com/movies/a.qms");

    SourcePtr t(skv::openSource("QMSP://10.1.2.3:8000/x/y.qms"));
    auto* b = dynamic_cast<ServerSource*>(t.get());
    ASSERT_NE(b, nullptr);
    EXPECT_STREQ(b->host(), "10.1.2.3");
    EXPECT_EQ(b->port(), 8000);
    EXPECT_STREQ(b->path(), "x/y.qms");

    SourcePtr u(skv::openSource("qmsp:host"));
    auto* c = dynamic_cast<ServerSource*>(u.get());
    ASSERT_NE(c, nullptr);
    EXPECT_STREQ(c->host(), "host");
    EXPECT_STREQ(c->path(), "");
    // A port that cannot be one makes the address invalid: no connection to any port is tried.
    for (const char* bad :
         {"qmsp://host:99999/m.qms", "qmsp://host:0/m.qms", "qmsp://host:/m",
          "qmsp://host:80x/m.qms", "qmsp://host:http/m.qms", "qmsp://127.0.0.1:4294967297/m"}) {
        SourcePtr v(skv::openSource(bad));
        auto* bs = static_cast<ServerSource*>(v.get());
        EXPECT_TRUE(bs->badPort()) << bad;
        EXPECT_EQ(bs->request(0), -601) << bad;
    }
    // The code the player shows: "The Skyvora URI is invalid."
    EXPECT_EQ(skv::statusForError(-601), 0x80000FB1u);
    SourcePtr edge(skv::openSource("qmsp://host:65535"));
    EXPECT_FALSE(static_cast<ServerSource*>(edge.get())->badPort());
    EXPECT_EQ(static_cast<ServerSource*>(edge.get())->port(), 65535);
    // An over-long host is cut to 256 characters.
    std::string longHost = "qmsp://" + std::string(300, 'h') + "/m.qms";
    SourcePtr w(skv::openSource(longHost.c_str()));
    EXPECT_EQ(std::string(static_cast<ServerSource*>(w.get())->host()), std::string(256, 'h'));
}

TEST(ServerSourceErrors, SocketErrorsMapToRequestCodes) {
    using skv::requestErrorForSocketError;
    for (int e : {WSAENETDOWN, WSAENETUNREACH, WSAETIMEDOUT, WSAEHOSTDOWN, WSAEHOSTUNREACH})
        EXPECT_EQ(requestErrorForSocketError(e), -603) << e;
    EXPECT_EQ(requestErrorForSocketError(WSAECONNREFUSED), -604);
    for (int e : {WSAENETRESET, WSAECONNABORTED, WSAECONNRESET, WSAENOTCONN, WSAESHUTDOWN})
        EXPECT_EQ(requestErrorForSocketError(e), -605) << e;
    EXPECT_EQ(requestErrorForSocketError(WSAEACCES), -600);
    EXPECT_EQ(requestErrorForSocketError(0), 0);
    EXPECT_EQ(requestErrorForSocketError(-404), -404);
    EXPECT_EQ(requestErrorForSocketError(10000), 10000);
}

TEST_F(ServerSourceTest, NativeRequestCarriesCodeOffsetAndPathAndReadsExactly) {
    LoopbackServer native(serveNative);
    LoopbackServer http(httpReply(okReply()));
    SourcePtr s = source(native.port(), http.port());
    ASSERT_EQ(s->request(0), 0);
    EXPECT_EQ(s->contentLength(), 5000);

    std::string expected(256, '\0');
    expected[0] = 100;
    expected.replace(6, 12, "movies/a.qms");
    ASSERT_EQ(native.requests().size(), 1u);
    EXPECT_EQ(native.requests()[0], expected);

    // Reads deliver exactly what was asked although the server sends in 100-byte pieces.
    std::string got = readAll(*s, 2048);
    EXPECT_EQ(got.size(), 2048u);
    got += readAll(*s, 2048);
    got += readAll(*s, 2048); // only 904 remain: what arrived before the close
    EXPECT_EQ(got, movie());
    char c;
    EXPECT_EQ(s->read(&c, 1), 0);
    EXPECT_EQ(http.connections(), 0);
}

TEST_F(ServerSourceTest, ResumedRequestGetsTheFullLengthThenTheBytesFromTheOffset) {
    LoopbackServer native(serveNative);
    SourcePtr s = source(native.port(), 1);
    ASSERT_EQ(s->request(1234), 0);
    EXPECT_EQ(s->contentLength(), 5000);
    ASSERT_EQ(native.requests().size(), 1u);
    EXPECT_EQ(LoopbackServer::requestOffset(native.requests()[0]), 1234);
    EXPECT_EQ(readAll(*s, 5000), movie().substr(1234));
}

TEST_F(ServerSourceTest, BrokenOffNativeExchangeFallsBackToHttpOnThePlainRequestLine) {
    LoopbackServer native(hangUp);
    LoopbackServer http(httpReply(okReply(300)));
    SourcePtr s = source(native.port(), http.port());
    ASSERT_EQ(s->request(300), 0);
    ASSERT_EQ(http.requests().size(), 1u);
    EXPECT_EQ(http.requests()[0], "GET /xmovies/a.qms?300 HTTP/1.0\r\n\r\n");
    EXPECT_EQ(s->contentLength(), 5000);
    EXPECT_EQ(readAll(*s, 4700), movie().substr(300));
}

TEST_F(ServerSourceTest, FallbackGoesThroughTheBrowsersProxyWithTheServerAddress) {
    LoopbackServer native(hangUp);
    LoopbackServer proxy(httpReply(okReply()));
    LoopbackServer direct(httpReply(okReply()));
    useRegistry("[HKEY_CURRENT_USER\\Software\\Netscape\\Netscape Navigator\\Proxy Information]\n"
                "\"HTTP_Proxy\"=\"127.0.0.1:1\"\n" // the port value below replaces this one
                "\"Http_ProxyPort\"=dword:" +
                [&] {
                    char hex[9];
                    std::snprintf(hex, sizeof hex, "%08x", proxy.port());
                    return std::string(hex);
                }() +
                "\n");
    SourcePtr s = source(native.port(), direct.port());
    ASSERT_EQ(s->request(7), 0);
    ASSERT_EQ(proxy.requests().size(), 1u);
    EXPECT_EQ(proxy.requests()[0], "GET http://127.0.0.1/xmovies/a.qms?7 HTTP/1.0\r\n\r\n");
    EXPECT_EQ(direct.connections(), 0);
}

TEST_F(ServerSourceTest, FallbackUsesTheSystemProxyFromTheEnvironment) {
    LoopbackServer native(hangUp);
    LoopbackServer proxy(httpReply(okReply()));
    std::string variable = "http://user:pw@127.0.0.1:" + std::to_string(proxy.port()) + "/";
    setenv("http_proxy", variable.c_str(), 1);
    SourcePtr s = source(native.port(), 1);
    ASSERT_EQ(s->request(0), 0);
    ASSERT_EQ(proxy.requests().size(), 1u);
    EXPECT_EQ(proxy.requests()[0], "GET http://127.0.0.1/xmovies/a.qms?0 HTTP/1.0\r\n\r\n");
}

TEST_F(ServerSourceTest, RefusingServerIsRetriedForThirtySecondsThenReportedWithoutHttp) {
    unsigned short closedPort = 0;
    {
        LoopbackServer gone(nullptr);
        closedPort = gone.port();
    }
    LoopbackServer http(httpReply(okReply()));
    SourcePtr s = source(closedPort, http.port());
    EXPECT_EQ(s->request(0), -604);
    EXPECT_GE(elapsed(), 30000u);
    EXPECT_LT(elapsed(), 30100u);
    EXPECT_EQ(http.connections(), 0);
}

TEST_F(ServerSourceTest, ServerThatDoesNotAnswerInFiveSecondsIsTriedOverHttp) {
    // A listener that never accepts, its one queue place taken: the next connect hangs.
    LoopbackServer full(nullptr, 0);
    SOCKET filler = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(full.port());
    a.sin_addr.s_addr = static_cast<uint32_t>(htonl(INADDR_LOOPBACK));
    ASSERT_EQ(connect(filler, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);

    LoopbackServer http(httpReply(okReply()));
    SourcePtr s = source(full.port(), http.port());
    EXPECT_EQ(s->request(0), 0);
    EXPECT_GE(elapsed(), 5000u);
    EXPECT_LT(elapsed(), 5100u);
    ASSERT_EQ(http.requests().size(), 1u);
    EXPECT_EQ(http.requests()[0], "GET /xmovies/a.qms?0 HTTP/1.0\r\n\r\n");
    closesocket(filler);
}

TEST_F(ServerSourceTest, BadHttpRepliesGiveTheirCodes) {
    struct Case {
        std::string reply;
        int32_t expected;
    } cases[] = {
        {"HTTP/1.0 404 Not Found\r\n\r\n", -404},
        {"HTTP/1.1 206 Partial\r\n\r\n", -404},
        {"HTTP/1.0 302 Found\r\nLocation: http://elsewhere/\r\n\r\n", -500},
        {"HTTP/1.0 401 Unauthorized\r\n\r\n", -401},
        {"HTTP/1.0 403 Forbidden\r\n\r\n", -403},
        {"SMTP ready\r\n\r\n", -500},
        {"HTTP/1.0 200 OK\r\nX-Filler: " + std::string(300, 'f') + "\r\n\r\n", -1},
        {"HTTP/1.0 200 OK\r\nServer: x\r\n", -1}, // ends inside the header
        {"HTTP/1.0 200 OK\r\n\r\n\x01\x02", -1},  // the length word cut short
        {"HTTP/1.0 200 OK\r\n \r\n" + LoopbackServer::lengthWord(-400), -400},
    };
    for (const Case& c : cases) {
        LoopbackServer native(hangUp);
        LoopbackServer http(httpReply(c.reply));
        SourcePtr s = source(native.port(), http.port());
        EXPECT_EQ(s->request(0), c.expected) << c.reply.substr(0, 40);
        char b;
        EXPECT_LE(s->read(&b, 1), 0) << "a failed request leaves nothing to read";
    }
}

TEST_F(ServerSourceTest, NegativeNativeLengthIsTheServersErrorAndFinal) {
    LoopbackServer native([](SOCKET s, LoopbackServer& server) {
        server.record(LoopbackServer::receive(s, 256));
        LoopbackServer::sendText(s, LoopbackServer::lengthWord(-502));
    });
    LoopbackServer http(httpReply(okReply()));
    SourcePtr s = source(native.port(), http.port());
    EXPECT_EQ(s->request(0), -502);
    EXPECT_EQ(http.connections(), 0);
}

TEST_F(ServerSourceTest, NamesThatDoNotResolveGiveMinus602) {
    SourcePtr a(skv::openSource("qmsp://no-such-host.invalid/m.qms"));
    EXPECT_EQ(a->request(0), -602);
    SourcePtr b(skv::openSource("qmsp://999.1.1.1/m.qms"));
    EXPECT_EQ(b->request(0), -602);
}

TEST_F(ServerSourceTest, CloseFromAnotherThreadEndsABlockedRead) {
    LoopbackServer native([](SOCKET s, LoopbackServer&) {
        LoopbackServer::receive(s, 256);
        LoopbackServer::sendText(s, LoopbackServer::lengthWord(5000));
        char c;
        recv(s, &c, 1, 0); // holds the connection open until the client goes
    });
    SourcePtr s = source(native.port(), 1);
    ASSERT_EQ(s->request(0), 0);
    std::thread closer([&] { s->close(); });
    char buf[2048];
    EXPECT_LE(s->read(buf, sizeof buf), 0);
    closer.join();
    EXPECT_EQ(s->read(buf, sizeof buf), 0);
}

// The receive time-out: a server that takes the connection and then says nothing, or stops in
// the middle of the movie, is given up after a minute without a byte on the platform clock.

TEST_F(ServerSourceTest, NativeServerThatSaysNothingIsGivenUpAfterAMinuteAndTriedOverHttp) {
    LoopbackServer native(&LoopbackServer::silent);
    LoopbackServer http(httpReply(okReply()));
    SourcePtr s = source(native.port(), http.port());
    ASSERT_EQ(s->request(0), 0);
    EXPECT_GE(elapsed(), 60000u);
    EXPECT_LT(elapsed(), 61000u);
    ASSERT_EQ(http.requests().size(), 1u);
    EXPECT_EQ(readAll(*s, 5000), movie());
}

TEST_F(ServerSourceTest, SilenceOnBothRoadsIsAShortReplyAfterAMinuteEach) {
    LoopbackServer native(&LoopbackServer::silent);
    LoopbackServer http(&LoopbackServer::silent);
    SourcePtr s = source(native.port(), http.port());
    EXPECT_EQ(s->request(0), -1);
    EXPECT_GE(elapsed(), 120000u);
    EXPECT_LT(elapsed(), 122000u);
    EXPECT_EQ(http.connections(), 1);
    EXPECT_EQ(skv::statusForError(-1), 0x80000FA3u); // reported as a transfer that ended early
}

TEST_F(ServerSourceTest, StallInTheMiddleDeliversWhatCameAndThenReadsNothingMore) {
    LoopbackServer native(LoopbackServer::nativeMovie(movie(), 3000));
    SourcePtr s = source(native.port(), 1);
    ASSERT_EQ(s->request(0), 0);
    auto* server = static_cast<ServerSource*>(s.get());
    EXPECT_FALSE(server->stalled());
    std::string got = readAll(*s, 5000);
    EXPECT_EQ(got, movie().substr(0, 3000));
    EXPECT_TRUE(server->stalled());
    EXPECT_GE(elapsed(), 60000u);
    EXPECT_LT(elapsed(), 61000u);
    // The server is not waited for a second time.
    const uint64_t stalledAt = elapsed();
    char b[16];
    EXPECT_EQ(s->read(b, sizeof b), -1);
    EXPECT_EQ(elapsed(), stalledAt);

    // A new request starts afresh: the rest arrives in full and nothing is taken for a stall.
    ASSERT_EQ(s->request(3000), 0);
    EXPECT_FALSE(server->stalled());
    EXPECT_EQ(readAll(*s, 2000), movie().substr(3000));
    EXPECT_FALSE(server->stalled());
}

TEST_F(ServerSourceTest, ReceiveTimeOutIsTheSourcesToChoose) {
    LoopbackServer native(LoopbackServer::nativeMovie(movie(), 100));
    SourcePtr s = source(native.port(), 1);
    auto* server = static_cast<ServerSource*>(s.get());
    EXPECT_EQ(server->receiveTimeout(), ServerSource::kDefaultReceiveTimeoutMs);
    server->setReceiveTimeout(5000);
    ASSERT_EQ(s->request(0), 0);
    EXPECT_EQ(readAll(*s, 5000), movie().substr(0, 100));
    EXPECT_GE(elapsed(), 5000u);
    EXPECT_LT(elapsed(), 6000u);
}

} // namespace
