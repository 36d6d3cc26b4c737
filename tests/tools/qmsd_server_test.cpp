// qmsd's server in-process on loopback ports the system picks, driven by raw sockets.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include "logger.h"
#include "netio.h"
#include "options.h"
#include "platform/clock.h"
#include "platform/winsock.h"
#include "request.h"
#include "server.h"

namespace fs = std::filesystem;
using namespace qmsd;

namespace {

std::vector<uint8_t> movieBytes(size_t n, uint32_t seed) {
    std::vector<uint8_t> v(n);
    for (auto& b : v) {
        seed = seed * 1103515245u + 12345u;
        b = uint8_t(seed >> 16);
    }
    return v;
}

void writeFile(const fs::path& p, const std::vector<uint8_t>& bytes) {
    std::ofstream(p, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

std::vector<uint8_t> recvToEnd(SOCKET s) {
    std::vector<uint8_t> out;
    char buf[8192];
    for (;;) {
        int n = recv(s, buf, sizeof buf, 0);
        if (n <= 0) break;
        out.insert(out.end(), buf, buf + n);
    }
    return out;
}

int32_t int32At(const std::vector<uint8_t>& v, size_t at) {
    return static_cast<int32_t>(uint32_t(v[at]) | uint32_t(v[at + 1]) << 8 |
                                uint32_t(v[at + 2]) << 16 | uint32_t(v[at + 3]) << 24);
}

// A server's reply split into its length word and what followed.
struct ServerReply {
    bool complete = false; // at least the length word arrived
    int32_t length = 0;
    std::vector<uint8_t> bytes;
};

ServerReply splitReply(const std::vector<uint8_t>& raw) {
    ServerReply r;
    if (raw.size() < 4) return r;
    r.complete = true;
    r.length = int32At(raw, 0);
    r.bytes.assign(raw.begin() + 4, raw.end());
    return r;
}

class QmsdServer : public ::testing::Test {
protected:
    void SetUp() override {
        WSADATA data;
        ASSERT_EQ(WSAStartup(MAKEWORD(1, 1), &data), 0);
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = fs::temp_directory_path() /
               ("qmsd_test_" + std::to_string(::getpid()) + "_" + info->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_ / "movies" / "sub");
        movie_ = movieBytes(70000, 7);
        writeFile(dir_ / "movies" / "a.skm", movie_);
        writeFile(dir_ / "movies" / "sub" / "b.skm", movieBytes(5000, 9));
        writeFile(dir_ / "secret.skm", movieBytes(100, 3));
        fs::create_symlink(dir_ / "secret.skm", dir_ / "movies" / "escape.skm");
        fs::create_symlink(dir_ / "movies" / "a.skm", dir_ / "movies" / "alias.skm");
        options_.bindAddress = "127.0.0.1";
        options_.nativePort = 0;
        options_.httpPort = 0;
        options_.directory = (dir_ / "movies").string();
    }

    void TearDown() override {
        if (server_) server_->stop();
        server_.reset();
        EXPECT_EQ(WSACleanup(), 0);
        fs::remove_all(dir_);
    }

    void start() {
        server_ = std::make_unique<Server>(options_, log_);
        std::string error;
        ASSERT_TRUE(server_->start(&error)) << error;
    }

    static SOCKET connectTo(uint16_t port, int* error = nullptr) {
        SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(port);
        a.sin_addr.s_addr = static_cast<uint32_t>(htonl(INADDR_LOOPBACK));
        if (connect(s, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0) {
            if (error) *error = WSAGetLastError();
            closesocket(s);
            return INVALID_SOCKET;
        }
        return s;
    }

    static std::vector<uint8_t> nativeRecord(int16_t code, int32_t offset, const std::string& p) {
        std::vector<uint8_t> r(kNativeRecordSize, 0);
        r[0] = uint8_t(code);
        r[1] = uint8_t(uint16_t(code) >> 8);
        for (int i = 0; i < 4; ++i)
            r[2 + i] = uint8_t(uint32_t(offset) >> (8 * i));
        std::memcpy(r.data() + 6, p.data(), std::min<size_t>(p.size(), 250));
        return r;
    }

    ServerReply native(const std::string& path, int32_t offset, int16_t code = 100) {
        SOCKET s = connectTo(server_->nativePort());
        EXPECT_NE(s, INVALID_SOCKET);
        auto rec = nativeRecord(code, offset, path);
        EXPECT_TRUE(sendAll(s, rec.data(), rec.size()));
        ServerReply r = splitReply(recvToEnd(s));
        closesocket(s);
        return r;
    }

    // The raw answer to an HTTP request.
    std::string http(const std::string& request) {
        SOCKET s = connectTo(server_->httpPort());
        EXPECT_NE(s, INVALID_SOCKET);
        EXPECT_TRUE(sendAll(s, request.data(), request.size()));
        std::vector<uint8_t> raw = recvToEnd(s);
        closesocket(s);
        return std::string(raw.begin(), raw.end());
    }

    static std::string statusLine(const std::string& answer) {
        return answer.substr(0, answer.find("\r\n"));
    }

    static ServerReply httpBody(const std::string& answer) {
        size_t end = answer.find("\r\n\r\n");
        if (end == std::string::npos) return {};
        std::vector<uint8_t> body(answer.begin() + long(end + 4), answer.end());
        return splitReply(body);
    }

    std::vector<uint8_t> tail(size_t from) const {
        return std::vector<uint8_t>(movie_.begin() + long(from), movie_.end());
    }

    fs::path dir_;
    std::vector<uint8_t> movie_;
    Options options_;
    FILE* logFile_ = std::fopen("/dev/null", "w");
    Logger log_{logFile_, false};
    std::unique_ptr<Server> server_;

public:
    ~QmsdServer() override { std::fclose(logFile_); }
};

} // namespace

TEST_F(QmsdServer, NativeFullTransferAndResume) {
    start();
    ServerReply full = native("a.skm", 0);
    ASSERT_TRUE(full.complete);
    EXPECT_EQ(full.length, 70000);
    EXPECT_EQ(full.bytes, movie_);

    // A resumed request still gets the full length, then only the bytes from the offset.
    ServerReply resumed = native("a.skm", 65000);
    EXPECT_EQ(resumed.length, 70000);
    EXPECT_EQ(resumed.bytes, tail(65000));

    ServerReply atEnd = native("a.skm", 70000);
    EXPECT_EQ(atEnd.length, 70000);
    EXPECT_TRUE(atEnd.bytes.empty());

    ServerReply sub = native("sub/b.skm", 0);
    EXPECT_EQ(sub.length, 5000);
    EXPECT_EQ(sub.bytes, movieBytes(5000, 9));
    ServerReply viaLinkInside = native("alias.skm", 10);
    EXPECT_EQ(viaLinkInside.bytes, tail(10));
}

TEST_F(QmsdServer, NativeErrorsAreNegativeLengthWordsAndNothingElse) {
    start();
    const std::pair<std::pair<const char*, int32_t>, int32_t> cases[] = {
        {{"missing.skm", 0}, kNotFound},
        {{"sub", 0}, kNotFound},
        {{"a.skm", 70001}, kBadRequest},
        {{"a.skm", -5}, kBadRequest},
        {{"../secret.skm", 0}, kBadRequest},
        {{"/etc/passwd", 0}, kBadRequest},
        {{"", 0}, kBadRequest},
        {{"escape.skm", 0}, kAccessDenied},
    };
    for (const auto& [req, expected] : cases) {
        ServerReply r = native(req.first, req.second);
        ASSERT_TRUE(r.complete) << req.first;
        EXPECT_EQ(r.length, expected) << req.first;
        EXPECT_TRUE(r.bytes.empty()) << req.first;
    }
    ServerReply wrongCode = native("a.skm", 0, 99);
    EXPECT_EQ(wrongCode.length, kBadRequest);
    EXPECT_TRUE(wrongCode.bytes.empty());
}

TEST_F(QmsdServer, NativePathWithoutNulAndShortRecordAreMalformed) {
    start();
    SOCKET s = connectTo(server_->nativePort());
    auto rec = nativeRecord(100, 0, std::string(250, 'a'));
    ASSERT_TRUE(sendAll(s, rec.data(), rec.size()));
    EXPECT_EQ(splitReply(recvToEnd(s)).length, kBadRequest);
    closesocket(s);

    // Half a record, then the client stops sending.
    s = connectTo(server_->nativePort());
    rec = nativeRecord(100, 0, "a.skm");
    ASSERT_TRUE(sendAll(s, rec.data(), 100));
    shutdown(s, SD_SEND);
    ServerReply r = splitReply(recvToEnd(s));
    EXPECT_EQ(r.length, kBadRequest);
    EXPECT_TRUE(r.bytes.empty());
    closesocket(s);
}

TEST_F(QmsdServer, HttpDirectAndProxyForms) {
    start();
    std::string direct = http("GET /xa.skm?100 HTTP/1.0\r\n\r\n");
    EXPECT_EQ(direct.substr(0, direct.find("\r\n\r\n") + 4),
              "HTTP/1.0 200 OK\r\nContent-Type: application/octet-stream\r\n\r\n");
    ServerReply r = httpBody(direct);
    EXPECT_EQ(r.length, 70000);
    EXPECT_EQ(r.bytes, tail(100));

    // The form a proxy receives, with header lines the server skips.
    std::string proxied = http("GET http://127.0.0.1:1/xsub/b.skm?0 HTTP/1.0\r\nHost: "
                               "127.0.0.1\r\nUser-Agent: test\r\n\r\n");
    EXPECT_EQ(statusLine(proxied), "HTTP/1.0 200 OK");
    EXPECT_EQ(httpBody(proxied).bytes, movieBytes(5000, 9));

    // Bare LF line ends are accepted too.
    EXPECT_EQ(httpBody(http("GET /xa.skm?69999 HTTP/1.0\n\n")).bytes, tail(69999));
}

TEST_F(QmsdServer, HttpErrorsAreStatuses) {
    start();
    EXPECT_EQ(statusLine(http("GET /xmissing.skm?0 HTTP/1.0\r\n\r\n")), "HTTP/1.0 404 Not Found");
    EXPECT_EQ(statusLine(http("GET /x../secret.skm?0 HTTP/1.0\r\n\r\n")),
              "HTTP/1.0 400 Bad Request");
    EXPECT_EQ(statusLine(http("GET /xa.skm?70001 HTTP/1.0\r\n\r\n")), "HTTP/1.0 400 Bad Request");
    EXPECT_EQ(statusLine(http("GET /a.skm HTTP/1.0\r\n\r\n")), "HTTP/1.0 400 Bad Request");
    EXPECT_EQ(statusLine(http("GET /xescape.skm?0 HTTP/1.0\r\n\r\n")), "HTTP/1.0 403 Forbidden");
    EXPECT_EQ(statusLine(http("PUT /xa.skm?0 HTTP/1.0\r\n\r\n")), "HTTP/1.0 501 Not Implemented");
    // A header line longer than the server reads is refused, not buffered without end.
    std::string longHeader =
        "GET /xa.skm?0 HTTP/1.0\r\nX-Pad: " + std::string(5000, 'p') + "\r\n\r\n";
    EXPECT_EQ(statusLine(http(longHeader)), "HTTP/1.0 400 Bad Request");
    // An error reply carries no length word that a client could take for a movie.
    std::string notFound = http("GET /xmissing.skm?0 HTTP/1.0\r\n\r\n");
    EXPECT_EQ(notFound.find("application/octet-stream"), std::string::npos);
}

TEST_F(QmsdServer, DropAfterCutsEveryStream) {
    options_.dropAfter = 1000;
    start();
    ServerReply r = native("a.skm", 0);
    EXPECT_EQ(r.length, 70000);
    EXPECT_EQ(r.bytes, std::vector<uint8_t>(movie_.begin(), movie_.begin() + 1000));
    ServerReply h = httpBody(http("GET /xa.skm?500 HTTP/1.0\r\n\r\n"));
    EXPECT_EQ(h.length, 70000);
    EXPECT_EQ(h.bytes, std::vector<uint8_t>(movie_.begin() + 500, movie_.begin() + 1500));
    // A movie shorter than the cut arrives whole.
    EXPECT_EQ(native("sub/b.skm", 4500).bytes.size(), 500u);
}

TEST_F(QmsdServer, IgnoreNativeClosesWithoutAnAnswerWhileHttpServes) {
    options_.ignoreNative = true;
    start();
    ServerReply r = native("a.skm", 0);
    EXPECT_FALSE(r.complete);
    EXPECT_EQ(httpBody(http("GET /xa.skm?0 HTTP/1.0\r\n\r\n")).bytes, movie_);
}

TEST_F(QmsdServer, RefuseNativeLeavesThePortClosed) {
    // A port known to be free: bound by the system, then released.
    SOCKET probe = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = static_cast<uint32_t>(htonl(INADDR_LOOPBACK));
    ASSERT_EQ(bind(probe, reinterpret_cast<const sockaddr*>(&a), sizeof a), 0);
    int len = sizeof a;
    ASSERT_EQ(getsockname(probe, reinterpret_cast<sockaddr*>(&a), &len), 0);
    closesocket(probe);
    options_.nativePort = ntohs(a.sin_port);
    options_.refuseNative = true;
    start();
    EXPECT_EQ(server_->nativePort(), 0);
    int error = 0;
    EXPECT_EQ(connectTo(uint16_t(options_.nativePort), &error), INVALID_SOCKET);
    EXPECT_EQ(error, WSAECONNREFUSED);
    EXPECT_EQ(statusLine(http("GET /xa.skm?0 HTTP/1.0\r\n\r\n")), "HTTP/1.0 200 OK");
}

TEST_F(QmsdServer, ManyClientsAtOnce) {
    options_.limitBytesPerSecond = 1 << 30; // pacing on, though never waiting long
    start();
    constexpr int kClients = 8;
    std::vector<ServerReply> replies(kClients);
    std::vector<std::thread> clients;
    for (int i = 0; i < kClients; ++i)
        clients.emplace_back([&, i] { replies[size_t(i)] = native("a.skm", i * 1000); });
    for (auto& t : clients)
        t.join();
    for (int i = 0; i < kClients; ++i) {
        EXPECT_EQ(replies[size_t(i)].length, 70000);
        EXPECT_EQ(replies[size_t(i)].bytes, tail(size_t(i) * 1000)) << i;
    }
}

TEST_F(QmsdServer, BeyondMaxClientsTheServerSaysBusy) {
    options_.maxClients = 1;
    start();
    // The first connection stays open without sending, holding the only slot.
    SOCKET holder = connectTo(server_->nativePort());
    ASSERT_NE(holder, INVALID_SOCKET);
    EXPECT_EQ(native("a.skm", 0).length, kBusy);
    closesocket(holder);
}

TEST_F(QmsdServer, StopEndsOpenConnections) {
    start();
    SOCKET idle = connectTo(server_->nativePort());
    ASSERT_NE(idle, INVALID_SOCKET);
    server_->stop(); // must not wait for the idle client's 30-second time-out
    EXPECT_TRUE(recvToEnd(idle).empty());
    closesocket(idle);
    int error = 0;
    EXPECT_EQ(connectTo(server_->nativePort(), &error), INVALID_SOCKET);
}

TEST_F(QmsdServer, PortFileNamesTheOpenPorts) {
    start();
    std::string path = (dir_ / "ports").string();
    std::string error;
    ASSERT_TRUE(server_->writePortFile(path, &error)) << error;
    std::ifstream in(path);
    std::string word;
    unsigned port = 0;
    in >> word >> port;
    EXPECT_EQ(word, "native");
    EXPECT_EQ(port, server_->nativePort());
    in >> word >> port;
    EXPECT_EQ(word, "http");
    EXPECT_EQ(port, server_->httpPort());
    EXPECT_FALSE(server_->writePortFile((dir_ / "no" / "such" / "dir").string(), &error));
    EXPECT_NE(error.find("writable"), std::string::npos);
}

TEST_F(QmsdServer, StartFailuresSayWhatToDo) {
    start();
    Options clash = options_;
    clash.nativePort = server_->nativePort();
    Server second(clash, log_);
    std::string error;
    EXPECT_FALSE(second.start(&error));
    EXPECT_NE(error.find("--port"), std::string::npos) << error;

    Options noDir = options_;
    noDir.directory = (dir_ / "nothere").string();
    Server third(noDir, log_);
    EXPECT_FALSE(third.start(&error));
    EXPECT_NE(error.find("not a directory"), std::string::npos) << error;
}

TEST(QmsdPacer, WaitsOnThePlatformClock) {
    skv::platform::setVirtualClock(true, 5000);
    uint64_t t0 = skv::platform::clockNowMs();
    Pacer pacer(2048);
    pacer.sent(1024);
    EXPECT_EQ(skv::platform::clockNowMs() - t0, 500u);
    pacer.sent(2048);
    EXPECT_EQ(skv::platform::clockNowMs() - t0, 1500u);
    skv::platform::setVirtualClock(false);
    skv::platform::leaveVirtualClock();
}
