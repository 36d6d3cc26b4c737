// The movie stream from a streaming server that goes quiet, on the virtual clock: a server that
// takes the connection and then says nothing, and one that stops in the middle of the movie, end
// the transfer early after the receive time-out, with one error for the host; the cache keeps
// what came, and the next open of the movie resumes from there.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "../tools/saved_env.h"
#include "core/status.h"
#include "loopback_server.h"
#include "movie_fixture.h"
#include "net/moviestream.h"
#include "net/netclasses.h"
#include "net/statussink.h"
#include "platform/clock.h"

using namespace skv;
using namespace skv::test;

namespace {

struct StreamRun {
    std::vector<int32_t> codes; // every status but the progress updates, in order
    uint64_t elapsedMs = 0;     // on the platform clock, from start() to the end of the run
};

StreamRun play(MovieStream& s, StatusQueue& q) {
    StreamRun r;
    s.setStatusWindow(&q);
    const uint64_t t0 = platform::clockNowMs();
    if (!s.start()) {
        ADD_FAILURE() << "the stream did not start";
        return r;
    }
    bool connected = false, net = false, codec = false, objects = false;
    StatusMessage m;
    while (!(net && ((codec && objects) || !connected))) {
        // Longer than two receive time-outs, which a silent server takes.
        if (!q.take(&m, 600000)) {
            ADD_FAILURE() << "the stream went quiet after " << ::testing::PrintToString(r.codes);
            break;
        }
        if (m.message != kMsgStreamStatus) continue;
        r.codes.push_back(m.code);
        connected |= m.code == statusInt(stsServerConnectionEstablished);
        net |= m.code == statusInt(stsInternetThreadStopped);
        codec |= m.code == statusInt(stsCodecThreadStopped);
        objects |= m.code == statusInt(stsSerializeThreadStopped);
    }
    r.elapsedMs = platform::clockNowMs() - t0;
    return r;
}

long countOf(const std::vector<int32_t>& v, StatusCode c) {
    return static_cast<long>(std::count(v.begin(), v.end(), statusInt(c)));
}

long errorsIn(const std::vector<int32_t>& v) {
    return static_cast<long>(std::count_if(v.begin(), v.end(), [](int32_t c) { return c < 0; }));
}

class MovieStreamStallTest : public ::testing::Test {
protected:
    void SetUp() override {
        registerNetBlob();
        registerNetClasses();
        movie_ = makeMovie(30, 3000, 31);
        // The cache file is named after the movie: one name per test and process.
        name_ = uniqueName(".skm");
        platform::setVirtualClock(true, 1000000);
    }
    void TearDown() override {
        platform::setVirtualClock(false);
        platform::leaveVirtualClock();
        if (!cachePath_.empty()) std::remove(cachePath_.c_str());
    }
    std::string url(const LoopbackServer& server) {
        std::string u = "qmsp://127.0.0.1:" + std::to_string(server.port()) + "/" + name_;
        cachePath_ = cachePathForUrl(u.c_str());
        return u;
    }

    // The movie as the servers send it.
    std::string bytes() const { return std::string(movie_.begin(), movie_.end()); }

    SavedProxyEnvironment environment_; // no proxy unless a test names one
    std::vector<uint8_t> movie_;
    std::string name_, cachePath_;
};

TEST_F(MovieStreamStallTest, StallInTheMiddleEndsEarlyOnceAndTheCacheKeepsWhatCame) {
    const size_t part = 40000;
    {
        LoopbackServer server(LoopbackServer::nativeMovie(bytes(), part));
        StatusQueue q;
        MovieStream s(url(server).c_str(), true);
        StreamRun r = play(s, q);
        EXPECT_EQ(countOf(r.codes, stsServerConnectionEstablished), 1);
        EXPECT_EQ(countOf(r.codes, stsUnknownError), 1) << ::testing::PrintToString(r.codes);
        // The objects stop short of the end because the transfer did: one error for the host.
        EXPECT_EQ(errorsIn(r.codes), 1) << ::testing::PrintToString(r.codes);
        EXPECT_EQ(countOf(r.codes, stsInternetThreadStopped), 1);
        EXPECT_GE(r.elapsedMs, 60000u);
        EXPECT_EQ(s.serializeEndReason(), SerializeThread::EndReason::ShortRead);
        EXPECT_EQ(s.snapshot().bytesReceived, static_cast<int32_t>(part));
        s.stop();
    }
    std::vector<uint8_t> cached = readBytes(cachePath_);
    EXPECT_EQ(cached, std::vector<uint8_t>(movie_.begin(), movie_.begin() + part));

    // The next open asks only for what is missing, and the movie is then whole.
    LoopbackServer whole(LoopbackServer::nativeMovie(bytes()));
    StatusQueue q;
    MovieStream s(url(whole).c_str(), true);
    StreamRun r = play(s, q);
    EXPECT_EQ(errorsIn(r.codes), 0) << ::testing::PrintToString(r.codes);
    EXPECT_EQ(s.serializeEndReason(), SerializeThread::EndReason::Marker);
    // The first request only checks the header against the cached one.
    ASSERT_EQ(whole.requests().size(), 2u);
    EXPECT_EQ(LoopbackServer::requestOffset(whole.requests()[0]), 0);
    EXPECT_EQ(LoopbackServer::requestOffset(whole.requests()[1]), static_cast<int32_t>(part));
    s.stop();
    EXPECT_EQ(readBytes(cachePath_), movie_);
}

// The native port and the HTTP road (through the proxy) both take the connection and say
// nothing: after a minute on each, the transfer is reported as ended early, before it began.
TEST_F(MovieStreamStallTest, ServerThatSaysNothingIsAnEarlyEndAfterAMinuteOnEachRoad) {
    LoopbackServer server(&LoopbackServer::silent);
    setenv("http_proxy", ("http://127.0.0.1:" + std::to_string(server.port()) + "/").c_str(), 1);
    StatusQueue q;
    MovieStream s(url(server).c_str(), true);
    StreamRun r = play(s, q);
    EXPECT_EQ(r.codes,
              (std::vector<int32_t>{statusInt(stsInternetThreadStarted), statusInt(stsUnknownError),
                                    statusInt(stsInternetThreadStopped)}));
    EXPECT_GE(r.elapsedMs, 120000u);
    EXPECT_LT(r.elapsedMs, 125000u);
    EXPECT_EQ(server.connections(), 2); // native, then the proxy
    s.stop();
    EXPECT_TRUE(readBytes(cachePath_).empty());
}

TEST_F(MovieStreamStallTest, ReceiveTimeOutIsTheStreamsToChoose) {
    LoopbackServer server(LoopbackServer::nativeMovie(bytes(), 10000));
    StatusQueue q;
    MovieStream s(url(server).c_str(), true);
    EXPECT_EQ(s.receiveTimeout(), 60000u);
    s.setReceiveTimeout(5000);
    StreamRun r = play(s, q);
    EXPECT_EQ(countOf(r.codes, stsUnknownError), 1);
    EXPECT_GE(r.elapsedMs, 5000u);
    EXPECT_LT(r.elapsedMs, 6000u);
    s.stop();
    EXPECT_EQ(readBytes(cachePath_).size(), 10000u);
}

} // namespace
