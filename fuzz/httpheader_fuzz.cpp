// Feeds arbitrary bytes to the HTTP reply header parser, as a server or proxy could send them,
// with and without asking for the Content-Length.
#include <cstddef>
#include <cstdint>

#include "net/httpheader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    for (int ask = 0; ask < 2; ++ask) {
        size_t at = 0;
        int32_t length = 0;
        int32_t r = skv::parseHttpHeader(
            [&](char& c) {
                if (at >= size) return false;
                c = static_cast<char>(data[at++]);
                return true;
            },
            ask ? &length : nullptr);
        if (r > 0 || (r != 0 && r != -1 && r != -401 && r != -403 && r != -404 && r != -500))
            __builtin_trap(); // only the codes the parser documents
    }
    return 0;
}
