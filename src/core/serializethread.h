// The serialize thread: reads objects from the OS pipe through a loading archive, announces each
// (attach), hands it to the object manager and tells the movie stream when the score, the script
// runtime and the rate map have all arrived. An NTrailer or NChain ends the stream; whatever
// follows it is drained so the codec thread never stays blocked on a full pipe.
#pragma once

#include <atomic>
#include <cstdint>

#include "core/object.h"
#include "core/pipe.h"
#include "core/streamcontext.h"
#include "core/workerthread.h"

namespace skv {

class qmsObjectManager;

class SerializeThread : public WorkerThread {
public:
    // Why the object loop ended.
    enum class EndReason : int32_t {
        None,         // still running, or never started
        Marker,       // an NTrailer or NChain
        ShortRead,    // the stream ended (or broke) before the next object was complete
        UnknownClass, // an object of a class nobody registered
        Stopped,      // a stop was requested
    };

    SerializeThread(StreamContext* stream, Pipe* input, qmsObjectManager* manager)
        : stream_(stream), input_(input), manager_(manager) {}
    ~SerializeThread() override { join(); }

    void requestStop() override;
    void run() override;

    EndReason endReason() const { return endReason_.load(); }
    // The class of the end marker, or of the object nobody could construct.
    GUID endClassId() const { return endClassId_; }
    int32_t objectsRead() const { return objectsRead_.load(); }

private:
    void drain();

    StreamContext* stream_;
    Pipe* input_;
    qmsObjectManager* manager_;
    std::atomic<EndReason> endReason_{EndReason::None};
    GUID endClassId_{};
    std::atomic<int32_t> objectsRead_{0};
};

} // namespace skv
