// Feeds arbitrary bytes to the bitmap reader as the body of a stored bitmap, then puts whatever
// loaded through the rest of its life: drawn with every ink, stored again.
#include <cstdint>
#include <cstdio>
#include <vector>

#include "core/archive.h"
#include "core/memorypipe.h"
#include "gfx/dib.h"
#include "gfx/inks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The archive's short-read diagnostics would flood the fuzzer's output.
    static const bool quiet = std::freopen("/dev/null", "w", stdout) != nullptr;
    (void)quiet;
    skv::nDIB bitmap;
    {
        skv::uArchive ar(new skv::MemoryPipe(std::vector<uint8_t>(data, data + size)),
                         skv::uArchive::kLoading);
        try {
            bitmap.serialize(ar);
        } catch (...) {
            return 0;
        }
    }
    // Positions from the first bytes, so that clipping at every edge gets its turn.
    const int32_t x = size > 0 ? static_cast<int8_t>(data[0]) : 0;
    const int32_t y = size > 1 ? static_cast<int8_t>(data[1]) : 0;
    bitmap.transparentIndex = size > 2 ? data[2] : 0;
    skv::nDIB stage;
    stage.create(64, 48);
    for (int ink : {0, 1, 8}) {
        skv::inkRoutineFor(ink)(stage, bitmap, x, y, bitmap.width(), bitmap.height(), 0, 0);
    }
    skv::uArchive out(new skv::MemoryPipe, skv::uArchive::kStoring);
    bitmap.serialize(out);
    return 0;
}
