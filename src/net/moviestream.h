// MovieStream: the per-movie controller. It owns the object manager, the cache file pipe, the OS
// pipe and the network, codec and serialize threads; it measures the transfer rate, works out
// from the movie's rate map how much must be buffered before playback can start without
// stalling, and reports progress and errors as status codes to the status receiver the player
// designates.
//
// Lifecycle: constructed -> start() (network thread) -> connected (4004; the network thread
// starts the codec thread, which starts the serialize thread) -> ready (score, script runtime and
// rate map read) -> buffering complete (5005, once) -> 4001, 5002, 5004 -> stop() -> destroyed.
// After stop() nothing is posted.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "core/moviewriter.h"
#include "core/serializethread.h"
#include "core/streamcontext.h"

namespace skv {

class CodecThread;
class NetworkThread;
class qmsObjectManager;
class skvRateMap;
class uFilePipe;
class uPipePipe;
class StatusSink;

// What the host reads to show buffering progress. Each value is consistent on its own; the set
// is not taken atomically.
struct MovieStreamStats {
    int32_t lastRate = 0;
    int32_t smoothedRate = 0;
    int32_t secondsToStart = 0;
    int32_t bufferTarget = 0;
    int32_t bytesReceived = 0;
    int32_t bytesConsumed = 0;
    int32_t bytesProduced = 0;
    int32_t averageRate = 1; // mean of the last ten samples, unfilled ones counting as 0; >= 1
};

// The cache file for a movie URL: the cache directory, then the URL's last component (after its
// last ':', '\' or '/'; "SkYvOrA" when empty), in lower case, with ".qms" and anything after it
// replaced by ".qmc".
std::string cachePathForUrl(const char* url);

class MovieStream : public StreamContext {
public:
    static constexpr uint32_t kOsPipeCapacity = 65536;
    static constexpr int32_t kUnknownTarget = 0x70000000;
    static constexpr int32_t kInitialRate = 2048;
    static constexpr int kSamples = 10;
    static constexpr uint32_t kDefaultReceiveTimeoutMs = 60000; // as ServerSource's

    // With a null URL only the object manager is created: the player keeps such an empty stream
    // until it opens a movie.
    MovieStream(const char* url, bool persistentCache);
    ~MovieStream() override;
    MovieStream(const MovieStream&) = delete;
    MovieStream& operator=(const MovieStream&) = delete;

    // Slots 0-12, in order.
    qmsObjectManager* getObjectManager() override { return objectManager_; }
    virtual void setObjectManager(qmsObjectManager* manager);
    virtual void destroy() { delete this; }
    virtual bool start();
    virtual void stop();
    virtual void setStatusWindow(StatusSink* sink);
    virtual bool startNetThread();
    virtual bool startCodecThread();
    void startSerializeThread() override;
    virtual void stopNetThread();
    virtual void stopCodecThread();
    void stopSerializeThread() override;
    bool isStopped() const override { return stopped_.load() != 0; }

    // StreamContext: what the worker threads call.
    void post(int32_t code) override;
    bool onProgress(uint32_t consumed, uint32_t produced) override;
    void declareBufferingComplete() override;
    bool isBufferingComplete() const override { return bufferingComplete_.load() != 0; }
    void setRateMap(skvObject* rateMap) override;
    void setReady() override { ready_.store(1); }
    int32_t streamVersion() const override { return streamVersion_.load(); }
    void objectRead(skvObject* object) override;

    MovieStreamStats snapshot() const;
    // Folds one rate sample (bytes per second) into the statistics and, once the rate map is
    // known, recomputes the buffer target and the seconds to start.
    void updateRate(int32_t rate, int32_t received);

    void setThrottle(int32_t bytesPerSecond) { throttle_.store(bytesPerSecond); }
    int32_t throttle() const { return throttle_.load(); }
    // How long the network thread waits for a streaming server's next byte before it takes the
    // transfer to have ended early (0: without limit). Set before start().
    void setReceiveTimeout(uint32_t milliseconds) { receiveTimeoutMs_.store(milliseconds); }
    uint32_t receiveTimeout() const { return receiveTimeoutMs_.load(); }
    // The network thread calls this before it reports a transfer that ended early. The objects
    // then stop short of the end as well, and that is no second fault to tell the host about:
    // the serialize thread's error is not passed on after it.
    void noteTransferEndedEarly() { endedEarly_.store(1); }
    bool isReady() const { return ready_.load() != 0; }
    // The stream header, as the network thread received it (set before 4004 is posted).
    void setStreamHeader(const StreamHeader& h) {
        header_ = h;
        streamVersion_.store(h.streamVersion);
    }
    const StreamHeader& header() const { return header_; }
    void setSecondsToStart(int32_t v) { secondsToStart_.store(v); }
    void setBufferTarget(int32_t v) { bufferTarget_.store(v); }
    void setBytesReceived(int32_t v) { bytesReceived_.store(v); }
    void setRates(int32_t last, int32_t smoothed) {
        lastRate_.store(last);
        smoothedRate_.store(smoothed);
    }

    // False when the cache file could not be opened: no threads exist, and start() reports
    // 0x80000FA2 (at construction there is nobody to tell yet).
    bool isConstructed() const { return netThread_ != nullptr; }
    const std::string& cachePath() const { return cachePath_; }
    uFilePipe* cacheFile() const { return filePipe_; }
    // How the object loop ended, once the serialize thread has run.
    SerializeThread::EndReason serializeEndReason() const;
    GUID serializeEndClassId() const;
    // Called on the serialize thread for every object read, in stream order.
    void setObjectObserver(std::function<void(skvObject*)> observer) {
        observer_ = std::move(observer);
    }

private:
    std::atomic<int32_t> lastRate_{kInitialRate};
    std::atomic<int32_t> smoothedRate_{kInitialRate};
    std::atomic<int32_t> secondsToStart_{kUnknownTarget};
    std::atomic<int32_t> bufferTarget_{kUnknownTarget};
    std::atomic<int32_t> bytesReceived_{0};
    std::atomic<int32_t> bytesProduced_{0};
    std::atomic<int32_t> bytesConsumed_{0};
    std::atomic<int32_t> throttle_{0};
    std::atomic<uint32_t> receiveTimeoutMs_{kDefaultReceiveTimeoutMs};
    std::atomic<int32_t> endedEarly_{0};
    std::atomic<int32_t> sampleCount_{0};
    std::atomic<int32_t> rateSum_{0};
    std::atomic<int32_t> samples_[kSamples] = {};
    std::atomic<skvRateMap*> rateMap_{nullptr};
    std::atomic<int32_t> bufferingComplete_{0};
    std::atomic<int32_t> ready_{0};
    StatusSink* statusWindow_ = nullptr; // guarded by the process-wide status mutex
    std::atomic<int32_t> streamVersion_{0};
    std::atomic<int32_t> stopped_{0};

    qmsObjectManager* objectManager_ = nullptr;
    uFilePipe* filePipe_ = nullptr;
    uPipePipe* osPipe_ = nullptr;
    NetworkThread* netThread_ = nullptr;
    CodecThread* codecThread_ = nullptr;
    SerializeThread* serializeThread_ = nullptr;

    StreamHeader header_;
    std::string cachePath_;
    std::function<void(skvObject*)> observer_;
    // The serialize thread's verdict, kept after the thread is gone.
    SerializeThread::EndReason endReason_ = SerializeThread::EndReason::None;
    GUID endClassId_{};
};

} // namespace skv
