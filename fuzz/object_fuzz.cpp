// Feeds arbitrary bytes to the object reader as an already inflated stream: object after object
// until the reader gives up, the way the serialize thread would.
#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

#include "core/archive.h"
#include "core/memorypipe.h"
#include "core/object.h"
#include "core/registry.h"
#include "net/netclasses.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool registered = [] {
        skv::registerCoreClasses();
        skv::registerNetClasses();
        // The reader's diagnostics would flood the fuzzer's output.
        if (!std::freopen("/dev/null", "w", stdout)) return false;
        return true;
    }();
    (void)registered;
    skv::uArchive ar(new skv::MemoryPipe(std::vector<uint8_t>(data, data + size)),
                     skv::uArchive::kLoading);
    for (int i = 0; i < 10000; ++i) {
        skv::skvObject* obj = nullptr;
        try {
            obj = skv::readObject(ar);
        } catch (...) {
            break;
        }
        if (!obj) break;
        obj->destroy();
    }
    return 0;
}
