#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "logger.h"
#include "netio.h"
#include "options.h"
#include "request.h"

using namespace qmsd;

namespace {

std::vector<uint8_t> record(int16_t code, int32_t offset, const std::string& path) {
    std::vector<uint8_t> r(kNativeRecordSize, 0);
    r[0] = uint8_t(code);
    r[1] = uint8_t(uint16_t(code) >> 8);
    uint32_t o = static_cast<uint32_t>(offset);
    for (int i = 0; i < 4; ++i)
        r[2 + i] = uint8_t(o >> (8 * i));
    std::memcpy(r.data() + 6, path.data(), std::min(path.size(), kNativeRecordSize - 6));
    return r;
}

int32_t parse(const std::vector<uint8_t>& r, MovieRequest* out) {
    return parseNativeRequest(r.data(), r.size(), out);
}

} // namespace

TEST(QmsdNativeRequest, ReadsCodeOffsetAndPath) {
    MovieRequest req;
    auto r = record(100, 123456, "movies/a.skm");
    r[200] = 0xAB; // bytes after the NUL are not interpreted
    EXPECT_EQ(parse(r, &req), 0);
    EXPECT_EQ(req.offset, 123456);
    EXPECT_EQ(req.path, "movies/a.skm");
}

TEST(QmsdNativeRequest, RefusesWhatNoClientSends) {
    MovieRequest req;
    EXPECT_EQ(parse(record(101, 0, "a.skm"), &req), kBadRequest);
    EXPECT_EQ(parse(record(0x6400, 0, "a.skm"), &req), kBadRequest); // byte order matters
    EXPECT_EQ(parse(record(100, -1, "a.skm"), &req), kBadRequest);
    EXPECT_EQ(req.path, "a.skm"); // kept for the log
    EXPECT_EQ(parse(record(100, INT32_MIN, "a.skm"), &req), kBadRequest);
    // A path filling all 250 bytes has no room for its NUL.
    EXPECT_EQ(parse(record(100, 0, std::string(250, 'p')), &req), kBadRequest);
    EXPECT_EQ(req.path.size(), 250u);
    EXPECT_EQ(parse(record(100, 0, std::string(249, 'p')), &req), 0);
    EXPECT_EQ(req.path.size(), 249u);
    auto shortRecord = record(100, 0, "a.skm");
    shortRecord.resize(255);
    EXPECT_EQ(parse(shortRecord, &req), kBadRequest);
    EXPECT_EQ(parseNativeRequest(shortRecord.data(), 3, &req), kBadRequest);
    EXPECT_EQ(parseNativeRequest(nullptr, 0, &req), kBadRequest);
}

TEST(QmsdHttpRequest, DirectAndProxyForms) {
    HttpRequestLine req;
    ASSERT_EQ(parseHttpRequestLine("GET /xmovies/a.qms?0 HTTP/1.0", &req), 200);
    EXPECT_FALSE(req.proxyForm);
    EXPECT_EQ(req.movie.path, "movies/a.qms");
    EXPECT_EQ(req.movie.offset, 0);

    ASSERT_EQ(parseHttpRequestLine("GET http://10.0.0.7:537/xa.skm?4096 HTTP/1.0", &req), 200);
    EXPECT_TRUE(req.proxyForm);
    EXPECT_EQ(req.host, "10.0.0.7:537");
    EXPECT_EQ(req.movie.path, "a.skm");
    EXPECT_EQ(req.movie.offset, 4096);

    ASSERT_EQ(parseHttpRequestLine("GET HTTP://host/xa.skm?1 HTTP/1.1", &req), 200);
    EXPECT_TRUE(req.proxyForm);
    // The client does not encode its path, so spaces stay part of it.
    ASSERT_EQ(parseHttpRequestLine("GET /xmy movie.skm?7 HTTP/1.0", &req), 200);
    EXPECT_EQ(req.movie.path, "my movie.skm");
    EXPECT_EQ(req.movie.offset, 7);
    ASSERT_EQ(parseHttpRequestLine("GET /xa.skm HTTP/1.0", &req), 200);
    EXPECT_EQ(req.movie.offset, 0);
    ASSERT_EQ(parseHttpRequestLine("GET /xa.skm?2147483647 HTTP/1.0", &req), 200);
    EXPECT_EQ(req.movie.offset, INT32_MAX);
}

TEST(QmsdHttpRequest, MalformedLinesAndOtherMethods) {
    HttpRequestLine req;
    for (const char* line :
         {"", "GET", "GET /xa.skm", "GET /xa.skm?0 FTP/1.0", "GET  HTTP/1.0",
          "GET /a.skm?0 HTTP/1.0", "GET /xa.skm?-1 HTTP/1.0", "GET /xa.skm?2147483648 HTTP/1.0",
          "GET /xa.skm?12abc HTTP/1.0", "GET /xa.skm?99999999999999999999 HTTP/1.0",
          "GET http://host HTTP/1.0", "GET http:///xa.skm?0 HTTP/1.0",
          "GET http://host/a.skm?0 HTTP/1.0"})
        EXPECT_EQ(parseHttpRequestLine(line, &req), 400) << line;
    EXPECT_EQ(parseHttpRequestLine("POST /xa.skm?0 HTTP/1.0", &req), 501);
    EXPECT_EQ(parseHttpRequestLine("get /xa.skm?0 HTTP/1.0", &req), 501);
    std::string longPath = "GET /x" + std::string(251, 'p') + "?0 HTTP/1.0";
    EXPECT_EQ(parseHttpRequestLine(longPath, &req), 400);
}

TEST(QmsdMoviePath, StaysInsideTheServedDirectory) {
    std::string rel;
    EXPECT_EQ(checkMoviePath("a.skm", &rel), 0);
    EXPECT_EQ(rel, "a.skm");
    EXPECT_EQ(checkMoviePath("./sub//b.skm", &rel), 0);
    EXPECT_EQ(rel, "sub/b.skm");
    EXPECT_EQ(checkMoviePath("sub\\b.skm", &rel), 0);
    EXPECT_EQ(rel, "sub/b.skm");
    EXPECT_EQ(checkMoviePath("...skm", &rel), 0); // dots in a name are just a name
    for (const char* bad :
         {"", ".", "./", "..", "../a.skm", "sub/../../a.skm", "sub/..", "..\\a.skm", "/etc/passwd",
          "\\\\server\\share\\a.skm", "C:a.skm", "c:\\a.skm", "a\x01.skm", "a\n.skm"})
        EXPECT_EQ(checkMoviePath(bad, &rel), kBadRequest) << bad;
}

TEST(QmsdOptions, DefaultsAndBothValueForms) {
    Options o;
    std::string err;
    ASSERT_EQ(parseOptions({"movies"}, &o, &err), ParseOutcome::Run);
    EXPECT_EQ(o.nativePort, 537);
    EXPECT_EQ(o.httpPort, -1);
    EXPECT_EQ(o.bindAddress, "0.0.0.0");
    EXPECT_EQ(o.dropAfter, -1);
    EXPECT_EQ(o.directory, "movies");
    ASSERT_EQ(parseOptions({"--port", "0", "--http-port=8080", "--limit", "2048", "--drop-after=0",
                            "--bind", "127.0.0.1", "--port-file", "p.txt", "--quiet",
                            "--ignore-native", "dir"},
                           &o, &err),
              ParseOutcome::Run)
        << err;
    EXPECT_EQ(o.nativePort, 0);
    EXPECT_EQ(o.httpPort, 8080);
    EXPECT_EQ(o.limitBytesPerSecond, 2048);
    EXPECT_EQ(o.dropAfter, 0);
    EXPECT_EQ(o.portFile, "p.txt");
    EXPECT_TRUE(o.quiet);
    EXPECT_TRUE(o.ignoreNative);
    EXPECT_EQ(parseOptions({"--help"}, &o, &err), ParseOutcome::Help);
}

TEST(QmsdOptions, ErrorsSayWhatToDo) {
    Options o;
    std::string err;
    auto fails = [&](std::vector<std::string> args, const char* advice) {
        err.clear();
        EXPECT_EQ(parseOptions(args, &o, &err), ParseOutcome::Error);
        EXPECT_NE(err.find(advice), std::string::npos) << err;
    };
    fails({}, "name the directory");
    fails({"a", "b"}, "exactly one directory");
    fails({"--port", "65536", "d"}, "0 to 65535");
    fails({"--port", "-1", "d"}, "0 to 65535");
    fails({"--port", "12x", "d"}, "0 to 65535");
    fails({"d", "--port"}, "needs");
    fails({"--limit", "0", "d"}, "at least 1");
    fails({"--frobnicate", "d"}, "qmsd --help");
    fails({"--refuse-native", "--ignore-native", "--http-port", "1", "d"}, "choose one");
    fails({"--refuse-native", "d"}, "--http-port");
    fails({"--quiet=yes", "d"}, "takes no value");
}

TEST(QmsdPacing, DelayKeepsTheConnectionToItsRate) {
    EXPECT_EQ(Pacer::delayMs(2048, 2048, 0), 1000);
    EXPECT_EQ(Pacer::delayMs(2048, 2048, 400), 600);
    EXPECT_EQ(Pacer::delayMs(2048, 2048, 1500), 0); // behind: no wait, and no catching up later
    EXPECT_EQ(Pacer::delayMs(2048, 4096, 1500), 500);
    EXPECT_EQ(Pacer::delayMs(0, 1 << 20, 0), 0);
    EXPECT_EQ(Pacer(2048).chunkSize(), 256u);
    EXPECT_EQ(Pacer(1 << 20).chunkSize(), 16u * 1024);
}

TEST(QmsdLog, PathsFromTheNetworkCannotForgeLines) {
    RequestRecord r;
    r.peer = "127.0.0.1:5000";
    r.protocol = "native";
    r.path = "a.skm\n2026 fake \"line\"";
    r.offset = 10;
    r.reply = "length=100";
    r.sent = 90;
    r.note = "dropped";
    EXPECT_EQ(Logger::format(r), "127.0.0.1:5000 native \"a.skm\\x0a2026 fake \\x22line\\x22\" "
                                 "offset=10 length=100 sent=90 dropped");
}
