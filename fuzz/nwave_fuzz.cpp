// Feeds arbitrary bytes to NWave as its stored body (raw and voice-coded kinds, the latter through
// the decoder library and its temporary file), then stores what loaded, raw and value-reduced.
#include <cstdint>
#include <cstdio>
#include <vector>

#include "core/archive.h"
#include "core/memorypipe.h"
#include "sound/wave.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The archive's short-read diagnostics would flood the fuzzer's output.
    static const bool quiet = std::freopen("/dev/null", "w", stdout) != nullptr;
    (void)quiet;
    skv::NWave wave;
    {
        skv::uArchive ar(new skv::MemoryPipe(std::vector<uint8_t>(data, data + size)),
                         skv::uArchive::kLoading);
        try {
            wave.serialize(ar);
        } catch (...) {
            return 0;
        }
    }
    skv::NWave::setWriteStorageKind(size % 2 ? skv::NWave::kStorageReduced
                                             : skv::NWave::kStorageRaw);
    skv::NWave::setReductionThreshold(size % 7);
    skv::uArchive out(new skv::MemoryPipe, skv::uArchive::kStoring);
    wave.serialize(out);
    return 0;
}
