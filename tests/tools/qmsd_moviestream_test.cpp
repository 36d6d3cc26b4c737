// A movie stream fetched from qmsd, as the player fetches it: the statuses of a whole transfer,
// the HTTP road through a proxy, resuming a cut transfer from the cache without fetching twice,
// refusal, and stopping while the source is still being reached.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "../net/movie_fixture.h"
#include "core/objectmanager.h"
#include "core/status.h"
#include "logger.h"
#include "net/moviestream.h"
#include "net/netclasses.h"
#include "net/statussink.h"
#include "options.h"
#include "platform/clock.h"
#include "platform/winsock.h"
#include "saved_env.h"
#include "server.h"

using namespace skv;
using namespace skv::test;

namespace {

struct Outcome {
    std::vector<int32_t> codes;
};

// Takes statuses until the network thread has ended and, if it connected, inflating and object
// reading have ended too.
Outcome runToEnd(StatusQueue& q) {
    Outcome o;
    bool connected = false, net = false, codec = false, objects = false;
    StatusMessage m;
    while (!(net && ((codec && objects) || !connected))) {
        if (!q.take(&m, 120000)) {
            ADD_FAILURE() << "the stream went quiet after " << ::testing::PrintToString(o.codes);
            break;
        }
        if (m.message != kMsgStreamStatus) continue;
        o.codes.push_back(m.code);
        connected |= m.code == statusInt(stsServerConnectionEstablished);
        net |= m.code == statusInt(stsInternetThreadStopped);
        codec |= m.code == statusInt(stsCodecThreadStopped);
        objects |= m.code == statusInt(stsSerializeThreadStopped);
    }
    return o;
}

Outcome play(MovieStream& s, StatusQueue& q) {
    s.setStatusWindow(&q);
    if (!s.start()) {
        ADD_FAILURE() << "the stream did not start";
        return {};
    }
    return runToEnd(q);
}

bool holds(const std::vector<int32_t>& v, uint32_t code) {
    return std::find(v.begin(), v.end(), static_cast<int32_t>(code)) != v.end();
}

class QmsdMovieStream : public ::testing::Test {
protected:
    void SetUp() override {
        registerNetBlob();
        registerNetClasses();
        dir_ = tempDir() + uniqueName("_dir");
        std::string mk = "mkdir -p '" + dir_ + "'";
        ASSERT_EQ(std::system(mk.c_str()), 0);
        movie_ = makeMovie(30, 4000, 21);
        // Named after the test: the cache file is named after the movie, and tests run in
        // parallel processes that must not share one.
        movieName_ = uniqueName(".skm");
        writeBytes(dir_ + "/" + movieName_, movie_);
        logPath_ = dir_ + "/log.txt";
        logFile_ = std::fopen(logPath_.c_str(), "w");
        log_ = std::make_unique<qmsd::Logger>(logFile_, false);
        options_.bindAddress = "127.0.0.1";
        options_.nativePort = 0;
        options_.httpPort = 0;
        options_.directory = dir_;
        url_ = "";
    }

    void TearDown() override {
        if (server_) server_->stop();
        server_.reset();
        log_.reset();
        std::fclose(logFile_);
        std::remove(cachePathForUrl(url_.c_str()).c_str());
        std::string rm = "rm -rf '" + dir_ + "'";
        (void)std::system(rm.c_str());
    }

    void start() {
        server_ = std::make_unique<qmsd::Server>(options_, *log_);
        std::string error;
        ASSERT_TRUE(server_->start(&error)) << error;
        // A server that refuses the native road has no native port: name one nothing listens on.
        const int native = server_->nativePort() ? server_->nativePort() : closedPort();
        url_ = "qmsp://127.0.0.1:" + std::to_string(native) + "/" + movieName_;
    }

    // A loopback port that was free a moment ago: connections to it are refused.
    static int closedPort() {
        WSADATA data;
        if (WSAStartup(MAKEWORD(1, 1), &data) != 0) return 0;
        const SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        int len = sizeof a;
        int port = 0;
        if (s != INVALID_SOCKET && bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
            getsockname(s, reinterpret_cast<sockaddr*>(&a), &len) == 0)
            port = ntohs(a.sin_port);
        if (s != INVALID_SOCKET) closesocket(s);
        WSACleanup();
        return port;
    }

    // The log lines of the requests so far.
    std::vector<std::string> logLines() {
        std::fflush(logFile_);
        std::vector<uint8_t> log = readBytes(logPath_);
        std::vector<std::string> lines;
        std::string line;
        for (uint8_t c : log) {
            if (c == '\n') {
                lines.push_back(line);
                line.clear();
            } else {
                line += static_cast<char>(c);
            }
        }
        return lines;
    }

    skv::test::SavedProxyEnvironment environment_; // no proxy unless a test names one
    std::string dir_, logPath_, url_, movieName_;
    std::vector<uint8_t> movie_;
    FILE* logFile_ = nullptr;
    std::unique_ptr<qmsd::Logger> log_;
    qmsd::Options options_;
    std::unique_ptr<qmsd::Server> server_;
};

TEST_F(QmsdMovieStream, WholeMovieOverTheNativeProtocol) {
    start();
    StatusQueue q;
    MovieStream s(url_.c_str(), false);
    Outcome o = play(s, q);
    ASSERT_GE(o.codes.size(), 3u);
    EXPECT_EQ(o.codes[0], statusInt(stsInternetThreadStarted));
    EXPECT_EQ(o.codes[1], statusInt(stsServerConnectionEstablished));
    EXPECT_TRUE(holds(o.codes, stsBufferingComplete));
    EXPECT_FALSE(holds(o.codes, stsUnknownError));
    EXPECT_EQ(s.serializeEndReason(), SerializeThread::EndReason::Marker);
    for (uint32_t i = 0; i < 30; ++i)
        EXPECT_NE(s.getObjectManager()->find(blobId(i)), nullptr) << i;
    EXPECT_EQ(s.snapshot().bytesReceived, static_cast<int32_t>(movie_.size()));
}

// The native port takes the connection and says nothing; the player goes through its proxy, and
// qmsd, answering the proxy form, stands in for the proxy.
TEST_F(QmsdMovieStream, SilentNativePortFallsBackToHttpThroughTheProxy) {
    options_.ignoreNative = true;
    start();
    setenv("http_proxy", ("http://127.0.0.1:" + std::to_string(server_->httpPort()) + "/").c_str(),
           1);
    StatusQueue q;
    MovieStream s(url_.c_str(), false);
    Outcome o = play(s, q);
    EXPECT_TRUE(holds(o.codes, stsServerConnectionEstablished));
    EXPECT_EQ(s.serializeEndReason(), SerializeThread::EndReason::Marker);
    std::vector<uint8_t> log = readBytes(logPath_);
    EXPECT_NE(std::string(log.begin(), log.end()).find("http-proxy"), std::string::npos);
}

// A line that drops part-way leaves a partial cache and reports the early end; the next open of
// the same movie asks only for what is missing, and the movie is then whole.
TEST_F(QmsdMovieStream, CutTransferResumesFromThePersistentCache) {
    options_.dropAfter = 50000;
    start();
    {
        StatusQueue q;
        MovieStream s(url_.c_str(), true);
        Outcome o = play(s, q);
        EXPECT_TRUE(holds(o.codes, stsUnknownError));
        s.stop();
    }
    std::vector<uint8_t> partial = readBytes(cachePathForUrl(url_.c_str()));
    ASSERT_GT(partial.size(), size_t(StreamHeader::kSize));
    ASSERT_LT(partial.size(), movie_.size());
    EXPECT_TRUE(std::equal(partial.begin(), partial.end(), movie_.begin()));

    server_->stop();
    server_.reset();
    options_.dropAfter = -1;
    options_.nativePort = std::stoi(url_.substr(url_.rfind(':') + 1));
    start();
    StatusQueue q;
    MovieStream s(url_.c_str(), true);
    Outcome o = play(s, q);
    EXPECT_FALSE(holds(o.codes, stsUnknownError));
    EXPECT_EQ(s.serializeEndReason(), SerializeThread::EndReason::Marker);
    // After the header check, the movie is asked for again from the end of the cached part,
    // and exactly the missing tail is sent.
    std::string resumed = "offset=" + std::to_string(partial.size()) +
                          " length=" + std::to_string(movie_.size()) +
                          " sent=" + std::to_string(movie_.size() - partial.size());
    bool found = false;
    for (const std::string& l : logLines())
        found = found || l.find(resumed) != std::string::npos;
    EXPECT_TRUE(found) << "no request line with " << resumed << " in "
                       << ::testing::PrintToString(logLines());
    s.stop();
    EXPECT_EQ(readBytes(cachePathForUrl(url_.c_str())), movie_);
}

TEST_F(QmsdMovieStream, MissingMovieAndRefusedPortGiveTheirStatuses) {
    start();
    {
        StatusQueue q;
        std::string missing = url_.substr(0, url_.rfind('/')) + "/none.skm";
        MovieStream s(missing.c_str(), false);
        Outcome o = play(s, q);
        EXPECT_EQ(o.codes, (std::vector<int32_t>{statusInt(stsInternetThreadStarted),
                                                 static_cast<int32_t>(0x80000FAC),
                                                 statusInt(stsInternetThreadStopped)}));
    }
    server_->stop();
    server_.reset();
    options_.refuseNative = true;
    start(); // the native port stays closed: connections to it are refused
    platform::setVirtualClock(true, 1000000);
    {
        StatusQueue q;
        MovieStream s(url_.c_str(), false);
        Outcome o = play(s, q);
        EXPECT_EQ(o.codes, (std::vector<int32_t>{statusInt(stsInternetThreadStarted),
                                                 static_cast<int32_t>(0x80000FB4),
                                                 statusInt(stsInternetThreadStopped)}));
        EXPECT_GE(platform::clockNowMs() - 1000000, 30000u);
    }
    platform::setVirtualClock(false);
    platform::leaveVirtualClock();
}

// A stop while the connection is still being retried ends the attempt without waiting out the
// 30 seconds, and nothing is posted afterwards.
TEST_F(QmsdMovieStream, StopWhileConnectingEndsPromptlyAndQuietly) {
    options_.refuseNative = true;
    start();
    platform::setVirtualClock(true, 1000000);
    StatusQueue q;
    auto* s = new MovieStream(url_.c_str(), false);
    s->setStatusWindow(&q);
    ASSERT_TRUE(s->start());
    StatusMessage m;
    ASSERT_TRUE(q.take(&m, 60000));
    EXPECT_EQ(m.code, statusInt(stsInternetThreadStarted));
    Sleep(1000); // the network thread is inside its retries now
    uint64_t t0 = platform::clockNowMs();
    s->stop();
    EXPECT_LT(platform::clockNowMs() - t0, 1000u);
    EXPECT_FALSE(q.take(&m, 0));
    s->destroy();
    platform::setVirtualClock(false);
    platform::leaveVirtualClock();
}

} // namespace
