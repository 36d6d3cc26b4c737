// Runs arbitrary bytes through the whole stream framing: header check, inflate on the codec
// thread, the object reader on the serialize thread. The first byte chooses the form: even, the
// rest is a complete stream as it would arrive; odd, the rest is inflated content that is
// deflated here first, so that mutations reach the object reader instead of dying in inflate.
#include <cstdint>
#include <cstdio>
#include <vector>

#include "core/localstream.h"
#include "core/moviewriter.h"
#include "core/registry.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = [] {
        skv::registerCoreClasses();
        return std::freopen("/dev/null", "w", stdout) != nullptr; // the reader's diagnostics
    }();
    (void)ready;
    if (size == 0) return 0;
    std::vector<uint8_t> rest(data + 1, data + size);
    std::vector<uint8_t> stream;
    if (data[0] & 1) {
        stream = skv::StreamHeader{}.encode();
        auto body = skv::MovieWriter::deflateRaw(rest);
        stream.insert(stream.end(), body.begin(), body.end());
    } else {
        stream = std::move(rest);
    }
    skv::LocalStream s(std::move(stream));
    s.run();
    return 0;
}
