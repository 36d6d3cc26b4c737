// The network thread: fetches a movie stream from its source into the cache file, resuming from
// an earlier partial copy of the same movie, measures the transfer rate as it goes and starts the
// codec thread once the stream's length is known.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "core/workerthread.h"
#include "net/source.h"

namespace skv {

class MovieStream;
class uFilePipe;

class NetworkThread : public WorkerThread {
public:
    static constexpr int32_t kReadChunk = 2048;

    NetworkThread(MovieStream* stream, const char* url, uFilePipe* cache);
    ~NetworkThread() override;

    // Sets the stop flag, closes the source (a blocked read returns) and the cache file pipe (a
    // codec thread blocked on it wakes), and cuts a throttling pause short.
    void requestStop() override;
    void run() override;

    int32_t error() const { return error_.load(); }
    int32_t total() const { return total_.load(); }
    int32_t received() const { return received_.load(); }

private:
    // Opens the source and validates the cache against the stream header; on success `received`
    // says how much of the stream the cache already holds. `reported` is set when the failure
    // has already been posted (a wrong header).
    bool open(bool* reported);
    void transfer();
    // Pauses between chunks when a bandwidth limit is set; a stop request ends the pause.
    void throttlePause();
    // The source is created, closed and destroyed under mutex_, so that a stop from the
    // controlling thread never closes a source the network thread is destroying. Reads happen
    // outside the lock: a source's close() may be called while a read is blocked.
    void setSource(Source* s);
    void destroySource();
    void closeSource();

    MovieStream* stream_;
    std::string url_;
    uFilePipe* cache_;
    Source* source_ = nullptr;
    HANDLE stopEvent_ = nullptr; // manual-reset; set by requestStop
    std::atomic<int32_t> error_{0};
    std::atomic<int32_t> total_{0};
    std::atomic<int32_t> received_{0};
};

} // namespace skv
