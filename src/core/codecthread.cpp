#include "core/codecthread.h"

#include <zlib.h>

#include "core/status.h"

namespace skv {

void CodecThread::run() {
    stream_->startSerializeThread();
    stream_->post(statusInt(stsCodecThreadStarted));
    bool ok = inflateStream();
    if (ok && !stream_->isBufferingComplete()) stream_->declareBufferingComplete();
    // Closing the OS pipe is what ends the serialize thread's input.
    output_->close();
    stream_->post(statusInt(stsCodecThreadStopped));
    if (stopRequested()) stream_->stopSerializeThread();
    stop_.store(1);
}

bool CodecThread::inflateStream() {
    z_stream z{};
    if (inflateInit2(&z, -15) != Z_OK) return false;
    Bytef in[kChunk];
    Bytef out[kChunk];
    uint32_t inputTotal = 0;
    uint32_t produced = 0;
    z.next_out = out;
    z.avail_out = kChunk;
    int rc = Z_OK;
    bool failed = false;
    do {
        if (z.avail_in == 0) {
            int32_t got = input_->read(in, kChunk);
            if (got == 0 && input_->isClosed()) break; // everything there was has been read
            if (got < 0) got = 0;
            z.next_in = in;
            z.avail_in = static_cast<uInt>(got);
            inputTotal += static_cast<uint32_t>(got);
            if (!stream_->onProgress(inputTotal - z.avail_in, produced)) {
                failed = true;
                break;
            }
        }
        rc = inflate(&z, Z_NO_FLUSH);
        uint32_t n = kChunk - z.avail_out;
        if (n == 0) break; // corrupt data or input exhausted: nothing more will come out
        if (output_->write(out, static_cast<int32_t>(n)) <= 0) break;
        produced += n;
        if (!stream_->onProgress(inputTotal - z.avail_in, produced)) {
            failed = true;
            break;
        }
        z.next_out = out;
        z.avail_out = kChunk;
    } while (rc != Z_STREAM_END);
    bool ended = inflateEnd(&z) == Z_OK;
    return ended && !failed;
}

} // namespace skv
