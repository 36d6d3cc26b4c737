// The movie stream from a local file: status order, cache reuse and resume, header checks, the
// buffering target from the rate map, throttle pacing, stop at any moment.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "core/classids.h"
#include "core/objectmanager.h"
#include "core/status.h"
#include "movie_fixture.h"
#include "net/moviestream.h"
#include "net/netclasses.h"
#include "net/ratemap.h"
#include "net/statussink.h"
#include "platform/clock.h"

using namespace skv;
using namespace skv::test;

namespace {

// Runs a stream to its end and returns the status codes as posted (8026 updates left out).
struct StreamRun {
    std::vector<int32_t> codes;
    int updates = 0;
};

StreamRun runToEnd(MovieStream& s, StatusQueue& q) {
    StreamRun r;
    bool connected = false, netDone = false, objectsDone = false, codecDone = false;
    StatusMessage m;
    while (!(netDone && ((objectsDone && codecDone) || !connected))) {
        if (!q.take(&m, 120000)) {
            ADD_FAILURE() << "the stream went quiet";
            break;
        }
        EXPECT_EQ(m.stream, &s);
        if (m.message == kMsgStreamUpdate) {
            ++r.updates;
            continue;
        }
        EXPECT_EQ(m.message, kMsgStreamStatus);
        r.codes.push_back(m.code);
        connected |= m.code == statusInt(stsServerConnectionEstablished);
        netDone |= m.code == statusInt(stsInternetThreadStopped);
        objectsDone |= m.code == statusInt(stsSerializeThreadStopped);
        codecDone |= m.code == statusInt(stsCodecThreadStopped);
    }
    return r;
}

// Starts the stream with `q` as its status receiver and runs it to the end.
StreamRun play(MovieStream& s, StatusQueue& q) {
    s.setStatusWindow(&q);
    if (!s.start()) {
        ADD_FAILURE() << "the stream did not start";
        return {};
    }
    return runToEnd(s, q);
}

bool holds(const std::vector<int32_t>& v, StatusCode c) {
    return std::find(v.begin(), v.end(), statusInt(c)) != v.end();
}
size_t indexOf(const std::vector<int32_t>& v, StatusCode c) {
    return static_cast<size_t>(std::find(v.begin(), v.end(), statusInt(c)) - v.begin());
}

// Every blob of the movie made with `seed` is in the manager with the right bytes.
void expectMovie(qmsObjectManager* om, int count, size_t size, uint32_t seed) {
    uint32_t x = seed * 2654435761u + 1;
    for (int i = 0; i < count; ++i) {
        auto* b = dynamic_cast<NetBlob*>(om->find(blobId(static_cast<uint32_t>(i))));
        ASSERT_NE(b, nullptr) << "blob " << i;
        ASSERT_EQ(b->data.size(), size);
        bool same = true;
        for (auto c : b->data) {
            x = x * 1103515245u + 12345u;
            same = same && c == static_cast<uint8_t>(x >> 24);
        }
        EXPECT_TRUE(same) << "blob " << i;
    }
}

class MovieStreamTest : public ::testing::Test {
protected:
    void SetUp() override {
        registerNetBlob();
        registerNetClasses();
        moviePath = tempDir() + uniqueName(".skm");
    }
    void TearDown() override {
        std::remove(moviePath.c_str());
        if (!cachePath.empty()) std::remove(cachePath.c_str());
    }
    std::string url() const { return "file://" + moviePath; }

    std::string moviePath;
    std::string cachePath;
};

TEST_F(MovieStreamTest, FullTransferPostsEveryPhaseInOrderAndDeliversEveryObject) {
    std::vector<uint8_t> movie = makeMovie(40, 3000, 1);
    writeBytes(moviePath, movie);
    StatusQueue q;
    auto* s = new MovieStream(url().c_str(), false);
    cachePath = s->cachePath();
    ASSERT_TRUE(s->isConstructed());
    s->setStatusWindow(&q);
    ASSERT_TRUE(s->start());
    StreamRun r = runToEnd(*s, q);

    const auto& c = r.codes;
    EXPECT_EQ(c.front(), statusInt(stsInternetThreadStarted));
    for (StatusCode k : {stsServerConnectionEstablished, stsCodecThreadStarted,
                         stsSerializeThreadStarted, stsBufferingComplete, stsInternetThreadStopped,
                         stsCodecThreadStopped, stsSerializeThreadStopped})
        EXPECT_EQ(std::count(c.begin(), c.end(), statusInt(k)), 1) << k;
    EXPECT_LT(indexOf(c, stsServerConnectionEstablished), indexOf(c, stsCodecThreadStarted));
    EXPECT_LT(indexOf(c, stsCodecThreadStarted), indexOf(c, stsCodecThreadStopped));
    EXPECT_LT(indexOf(c, stsBufferingComplete), indexOf(c, stsCodecThreadStopped));
    EXPECT_LT(indexOf(c, stsSerializeThreadStarted), indexOf(c, stsSerializeThreadStopped));
    EXPECT_FALSE(holds(c, stsErrorSerialzingObject));
    EXPECT_FALSE(holds(c, stsUnknownError));
    EXPECT_GE(r.updates, 1);

    expectMovie(s->getObjectManager(), 40, 3000, 1);
    EXPECT_EQ(s->streamVersion(), 7);
    MovieStreamStats st = s->snapshot();
    EXPECT_EQ(st.bytesReceived, static_cast<int32_t>(movie.size()));
    EXPECT_EQ(st.bytesConsumed, static_cast<int32_t>(movie.size() - StreamHeader::kSize));
    EXPECT_EQ(s->serializeEndReason(), SerializeThread::EndReason::Marker);

    // A temporary cache goes with its stream, and a stopped stream says nothing more.
    s->stop();
    s->post(statusInt(stsUnknownError));
    StatusMessage m;
    EXPECT_FALSE(q.take(&m, 0));
    s->destroy();
    EXPECT_EQ(GetFileAttributesA(cachePath.c_str()), INVALID_FILE_ATTRIBUTES);
}

// The cache already holds the whole movie: the source's body is never read, so a source whose
// body is garbage still yields the right objects.
TEST_F(MovieStreamTest, CompleteCacheOfTheSameMovieIsUsedWithoutFetching) {
    std::vector<uint8_t> movie = makeMovie(10, 2000, 2);
    cachePath = cachePathForUrl(url().c_str());
    writeBytes(cachePath, movie);
    std::vector<uint8_t> decoy = movie;
    std::fill(decoy.begin() + StreamHeader::kSize, decoy.end(), 0xEE);
    writeBytes(moviePath, decoy);

    StatusQueue q;
    MovieStream s(url().c_str(), true);
    StreamRun r = play(s, q);
    EXPECT_FALSE(holds(r.codes, stsUnknownError));
    expectMovie(s.getObjectManager(), 10, 2000, 2);
    s.stop();
    EXPECT_EQ(readBytes(cachePath), movie); // a persistent cache stays, intact
}

// Same header, shorter copy: only the missing tail is fetched and appended. The source's bytes
// before the cached length are garbage, so reading them would break the movie.
TEST_F(MovieStreamTest, PartialCacheResumesFromItsEnd) {
    std::vector<uint8_t> movie = makeMovie(20, 2500, 3);
    const size_t cached = movie.size() / 2;
    cachePath = cachePathForUrl(url().c_str());
    writeBytes(cachePath, std::vector<uint8_t>(movie.begin(), movie.begin() + cached));
    std::vector<uint8_t> source = movie;
    std::fill(source.begin() + StreamHeader::kSize, source.begin() + cached, 0x5A);
    writeBytes(moviePath, source);

    StatusQueue q;
    MovieStream s(url().c_str(), true);
    StreamRun r = play(s, q);
    EXPECT_FALSE(holds(r.codes, stsUnknownError));
    expectMovie(s.getObjectManager(), 20, 2500, 3);
    s.stop();
    EXPECT_EQ(readBytes(cachePath), movie);
}

TEST_F(MovieStreamTest, CacheOfAnotherMovieIsTruncatedAndRefilled) {
    std::vector<uint8_t> other = makeMovie(30, 2500, 4);
    std::vector<uint8_t> movie = makeMovie(5, 1000, 5);
    cachePath = cachePathForUrl(url().c_str());
    writeBytes(cachePath, other);
    writeBytes(moviePath, movie);

    StatusQueue q;
    MovieStream s(url().c_str(), true);
    play(s, q);
    expectMovie(s.getObjectManager(), 5, 1000, 5);
    s.stop();
    EXPECT_EQ(readBytes(cachePath), movie); // nothing of the longer old copy is left behind
}

TEST_F(MovieStreamTest, WrongMagicIsReportedThenTheNetworkThreadEnds) {
    std::vector<uint8_t> movie = makeMovie(2, 100, 6);
    movie[0] = 'X';
    writeBytes(moviePath, movie);
    StatusQueue q;
    MovieStream s(url().c_str(), false);
    cachePath = s.cachePath();
    StreamRun r = play(s, q);
    EXPECT_EQ(r.codes, (std::vector<int32_t>{statusInt(stsInternetThreadStarted),
                                             statusInt(stsBadStreamHeader),
                                             statusInt(stsInternetThreadStopped)}));
}

TEST_F(MovieStreamTest, MissingFileAndCutStreamEndWithTheirErrors) {
    {
        StatusQueue q;
        MovieStream s(url().c_str(), false); // nothing written at moviePath
        StreamRun r = play(s, q);
        EXPECT_EQ(r.codes, (std::vector<int32_t>{statusInt(stsInternetThreadStarted),
                                                 statusInt(stsUnknownError),
                                                 statusInt(stsInternetThreadStopped)}));
    }
    {
        // Shorter than its header: the transfer ends before it began.
        std::vector<uint8_t> movie = makeMovie(2, 100, 7);
        movie.resize(20);
        writeBytes(moviePath, movie);
        StatusQueue q;
        MovieStream s(url().c_str(), false);
        StreamRun r = play(s, q);
        EXPECT_TRUE(holds(r.codes, stsUnknownError));
        EXPECT_FALSE(holds(r.codes, stsServerConnectionEstablished));
    }
}

TEST_F(MovieStreamTest, CacheHeldByAnotherReaderFailsConstructionAndSaysSoOnStart) {
    writeBytes(moviePath, makeMovie(2, 100, 8));
    cachePath = cachePathForUrl(url().c_str());
    writeBytes(cachePath, {});
    HANDLE other = CreateFileA(cachePath.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    StatusQueue q;
    MovieStream s(url().c_str(), true);
    EXPECT_FALSE(s.isConstructed());
    s.setStatusWindow(&q);
    EXPECT_FALSE(s.start());
    StatusMessage m;
    ASSERT_TRUE(q.take(&m, 0));
    EXPECT_EQ(m.code, statusInt(stsErrorConstructingStream));
    EXPECT_FALSE(q.take(&m, 0));
    CloseHandle(other);
}

TEST(MovieStreamCache, NameComesFromTheUrlsLastComponentInLowerCase) {
    std::string dir = cacheDirectory();
    EXPECT_EQ(cachePathForUrl("qmsp://Host:8000/Movies/Intro.QMS"), dir + "intro.qmc");
    EXPECT_EQ(cachePathForUrl("qmsp://host/movies/"), dir + "skyvora");
    EXPECT_EQ(cachePathForUrl("file:///tmp/Show.qmsx.skm"), dir + "show.qmc");
    EXPECT_EQ(cachePathForUrl("C:\\movies\\Demo.SKM"), dir + "demo.skm");
    EXPECT_NE(cachePathForUrl("x"), cachePathForUrl("y"));
}

TEST(MovieStreamStatus, UpdatesAreCoalescedAndStopSilencesEverything) {
    MovieStream s(nullptr, false);
    StatusQueue q;
    s.setStatusWindow(&q);
    for (int i = 0; i < 5; ++i)
        s.post(statusInt(stsUpdate));
    s.post(statusInt(stsCodecThreadStarted));
    s.post(statusInt(stsUpdate));
    StatusMessage m;
    ASSERT_TRUE(q.take(&m, 0));
    EXPECT_EQ(m.message, kMsgStreamUpdate);
    ASSERT_TRUE(q.take(&m, 0));
    EXPECT_EQ(m.message, kMsgStreamStatus);
    EXPECT_EQ(m.code, statusInt(stsCodecThreadStarted));
    EXPECT_FALSE(q.take(&m, 0)); // the second update found the first still waiting
    s.post(statusInt(stsUpdate));
    ASSERT_TRUE(q.take(&m, 0)); // once taken, the next update goes through
    s.declareBufferingComplete();
    s.declareBufferingComplete();
    s.post(statusInt(stsUpdate));
    ASSERT_TRUE(q.take(&m, 0));
    EXPECT_EQ(m.code, statusInt(stsBufferingComplete));
    EXPECT_FALSE(q.take(&m, 0)); // posted once; no updates after buffering is complete
}

// The rate map drives the buffer target: entries of 5000 bytes a second against an average of
// 4000 leave playback 3000 bytes short at worst, so 3750 must be buffered; at 6000 nothing.
TEST(MovieStreamRate, BufferTargetFollowsTheRateMapAndTheAverageRate) {
    auto* map = new skvRateMap();
    map->objectId = CLSID_skvRateMap;
    const int32_t three[] = {5000, 5000, 5000};
    map->assign(three, 3);
    MovieStream s(nullptr, false);
    s.getObjectManager()->add(map); // found through the manager before setRateMap is called

    s.updateRate(10000, 100);
    EXPECT_EQ(s.snapshot().averageRate, 1000); // unfilled samples count as 0
    for (int i = 0; i < 10; ++i)
        s.updateRate(4000, 200 + i);
    MovieStreamStats st = s.snapshot();
    EXPECT_EQ(st.averageRate, 4000);
    EXPECT_EQ(st.bufferTarget, 3750);
    EXPECT_EQ(st.secondsToStart, 0); // 3750 bytes to go at 4000 a second
    EXPECT_EQ(st.bytesReceived, 209);
    EXPECT_EQ(st.lastRate, 4000);

    for (int i = 0; i < 10; ++i)
        s.updateRate(6000, 300);
    EXPECT_EQ(s.snapshot().bufferTarget, 0);
    EXPECT_EQ(s.snapshot().secondsToStart, 1);

    // The average is capped at 20480 for the deficit, not for the seconds to start.
    const int32_t four[] = {30000, 30000, 30000, 30000};
    map->assign(four, 4);
    for (int i = 0; i < 10; ++i)
        s.updateRate(40000, 400);
    st = s.snapshot();
    EXPECT_EQ(st.bufferTarget, (4 * (30000 - 20480)) * 5 / 4);
    EXPECT_EQ(st.secondsToStart, st.bufferTarget / 40000);
    s.stop();
}

TEST(MovieStreamRate, SmoothedRateClimbsSlowlyAndFallsAtOnce) {
    MovieStream s(nullptr, false);
    s.updateRate(10000, 1);
    EXPECT_EQ(s.snapshot().smoothedRate, 2048 + (10000 - 2048) / 4);
    s.updateRate(1000, 2);
    EXPECT_EQ(s.snapshot().smoothedRate, 1000);
    s.updateRate(0, 3);
    EXPECT_EQ(s.snapshot().smoothedRate, 1);
}

class MovieStreamClockTest : public MovieStreamTest {
protected:
    void SetUp() override {
        MovieStreamTest::SetUp();
        platform::setVirtualClock(true, 1000000);
    }
    void TearDown() override {
        platform::setVirtualClock(false);
        platform::leaveVirtualClock();
        MovieStreamTest::TearDown();
    }
};

// With a limit of 2048 bytes a second every 2048-byte chunk is followed by a one-second pause.
TEST_F(MovieStreamClockTest, ThrottlePacesTheTransfer) {
    std::vector<uint8_t> movie = makeMovie(3, 3000, 9);
    writeBytes(moviePath, movie);
    const int32_t chunks = static_cast<int32_t>((movie.size() - StreamHeader::kSize + 2047) / 2048);
    StatusQueue q;
    MovieStream s(url().c_str(), false);
    cachePath = s.cachePath();
    s.setStatusWindow(&q);
    s.setThrottle(2048);
    uint64_t t0 = platform::clockNowMs();
    ASSERT_TRUE(s.start());
    StatusMessage m;
    uint64_t netDone = 0;
    while (q.take(&m, 600000)) {
        if (m.code == statusInt(stsInternetThreadStopped)) {
            netDone = platform::clockNowMs();
            break;
        }
    }
    ASSERT_NE(netDone, 0u);
    EXPECT_GE(netDone - t0, uint64_t(chunks) * 1000);
    EXPECT_LT(netDone - t0, uint64_t(chunks + 1) * 1000);
    s.stop();
}

// A stop in the middle of a throttled transfer ends it at once (the pause does not run out), and
// nothing is posted afterwards.
TEST_F(MovieStreamClockTest, StopInTheMiddleOfATransferEndsPromptlyAndQuietly) {
    writeBytes(moviePath, makeMovie(20, 3000, 10));
    StatusQueue q;
    auto* s = new MovieStream(url().c_str(), true);
    cachePath = s->cachePath();
    s->setStatusWindow(&q);
    s->setThrottle(1); // a pause of half an hour per chunk
    ASSERT_TRUE(s->start());
    // The first progress update means the codec thread has read the first chunk from the cache.
    StatusMessage m;
    while (q.take(&m, 600000) && m.message != kMsgStreamUpdate) {
    }
    uint64_t t0 = platform::clockNowMs();
    s->stop();
    EXPECT_LT(platform::clockNowMs() - t0, 60000u);
    while (q.take(&m, 0)) {
    }
    s->post(statusInt(stsUpdate));
    s->post(statusInt(stsUnknownError));
    EXPECT_FALSE(q.take(&m, 0));
    s->destroy();
    // The persistent cache keeps what arrived: the header and at least the first chunk.
    EXPECT_GE(readBytes(cachePath).size(), size_t(StreamHeader::kSize + 2048));
}

} // namespace
