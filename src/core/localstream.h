// A movie stream read from bytes already at hand (a local file, a test, a benchmark): the same
// codec and serialize threads as a streamed movie, without the network thread. The codec thread
// reads the compressed body from memory; the objects land in an object manager owned here.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "core/codecthread.h"
#include "core/memorypipe.h"
#include "core/moviewriter.h"
#include "core/objectmanager.h"
#include "core/pipepipe.h"
#include "core/serializethread.h"
#include "core/streamcontext.h"

namespace skv {

class LocalStream : public StreamContext {
public:
    static constexpr uint32_t kOsPipeCapacity = 65536;

    explicit LocalStream(std::vector<uint8_t> bytes);
    ~LocalStream() override;

    // Checks the header and runs the threads to the end of the stream. False when the bytes are
    // not a movie stream (status 0x80000FA9 is recorded, no thread is started).
    bool run();
    // Asks every thread to stop; safe from any thread while run() is in progress.
    void stop();

    const StreamHeader& header() const { return header_; }
    SerializeThread::EndReason endReason() const;
    GUID endClassId() const;
    std::vector<int32_t> statuses() const;
    // Objects in stream order (owned by the object manager).
    std::vector<skvObject*> objects() const;
    qmsObjectManager* manager() { return manager_.get(); }

    // StreamContext
    qmsObjectManager* getObjectManager() override { return manager_.get(); }
    void post(int32_t code) override;
    bool onProgress(uint32_t consumed, uint32_t produced) override;
    void declareBufferingComplete() override;
    bool isBufferingComplete() const override { return bufferingComplete_.load(); }
    void startSerializeThread() override;
    void stopSerializeThread() override;
    void setRateMap(skvObject* rateMap) override {}
    void setReady() override { ready_.store(true); }
    bool isStopped() const override { return stopped_.load(); }
    int32_t streamVersion() const override { return header_.streamVersion; }
    void objectRead(skvObject* object) override;

private:
    std::vector<uint8_t> bytes_;
    StreamHeader header_;
    std::unique_ptr<qmsObjectManager> manager_;
    MemoryPipe* input_ = nullptr; // owned, deleted in the destructor
    std::unique_ptr<uPipePipe> osPipe_;
    std::unique_ptr<CodecThread> codec_;
    std::unique_ptr<SerializeThread> serialize_;
    std::atomic<bool> bufferingComplete_{false};
    std::atomic<bool> ready_{false};
    std::atomic<bool> stopped_{false};
    mutable std::mutex mu_;
    std::vector<int32_t> statuses_;
    std::vector<skvObject*> objects_;
};

} // namespace skv
