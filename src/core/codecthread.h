// The codec thread: inflates the cached stream (raw DEFLATE, after the 32-byte header) from the
// cache file pipe into the OS pipe, in 1024-byte chunks, reporting progress after every chunk
// read and every chunk written so the buffering estimate follows the network closely.
#pragma once

#include "core/pipe.h"
#include "core/streamcontext.h"
#include "core/workerthread.h"

namespace skv {

class CodecThread : public WorkerThread {
public:
    static constexpr int kChunk = 1024;

    CodecThread(StreamContext* stream, Pipe* input, Pipe* output)
        : stream_(stream), input_(input), output_(output) {}
    ~CodecThread() override { join(); }

    void run() override;

private:
    // True when the inflater ended without error.
    bool inflateStream();

    StreamContext* stream_;
    Pipe* input_;
    Pipe* output_;
};

} // namespace skv
