// What the stream threads use of the movie stream that owns them.
//
// The codec and serialize threads live in the stream core; the MovieStream that owns them (with
// its network thread, buffering decision and status window) lives in the network layer and
// implements this interface. Tests and the authoring tool provide their own.
#pragma once

#include <cstdint>

namespace skv {

class qmsObjectManager;
class skvObject;

class StreamContext {
public:
    virtual ~StreamContext() = default;

    virtual qmsObjectManager* getObjectManager() = 0;
    // Reports a status code (the stsXxx values). Ignored once the stream is stopped.
    virtual void post(int32_t code) = 0;
    // Called by the codec thread after every chunk read and written; false stops inflating.
    virtual bool onProgress(uint32_t consumed, uint32_t produced) = 0;
    // Posts stsBufferingComplete and sets the flag (once).
    virtual void declareBufferingComplete() = 0;
    virtual bool isBufferingComplete() const = 0;
    // Sets the object manager's streaming flag and starts the serialize thread.
    virtual void startSerializeThread() = 0;
    // Asks the serialize thread to stop (the codec thread passes its own stop request on).
    virtual void stopSerializeThread() = 0;
    // The rate map has been read (the serialize thread keeps ownership with the object manager).
    virtual void setRateMap(skvObject* rateMap) = 0;
    // Score, script runtime and rate map have all been read.
    virtual void setReady() = 0;
    virtual bool isStopped() const = 0;
    // The int32 at offset 24 of the stream header.
    virtual int32_t streamVersion() const = 0;
    // Every object read, in stream order, right after the object manager took it.
    virtual void objectRead(skvObject* object) {}
};

} // namespace skv
