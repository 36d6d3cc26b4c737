// Feeds arbitrary bytes to skvc build as a movie manifest, beside a small picture and a script
// it may name ("a.bmp", "s.sks"). Every outcome must be a movie or a build error.
#include <cstdint>
#include <string>

#include "core/registry.h"
#include "gfx/dib.h"
#include "moviebuilder.h"
#include "sourcefiles.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static skvc::MemorySource* base = [] {
        auto* s = new skvc::MemorySource;
        skv::nDIB dib;
        RGBQUAD colours[256] = {};
        colours[1] = RGBQUAD{255, 255, 255, 0};
        dib.create(4, 3, nullptr, colours);
        *dib.pixelAt(1, 1) = 1;
        s->add("a.bmp", dib.bmpBytes());
        s->add("s.sks", std::string(".handler #mouseUp\n  pushInt 1\n  argListNoResult 1\n  "
                                    "callExternal #beep\n  ret\n"));
        return s;
    }();
    skvc::MemorySource source = *base;
    source.add("movie.toml", std::vector<uint8_t>(data, data + size));
    try {
        (void)skvc::buildMovie(source);
    } catch (const skvc::BuildError&) {
    }
    return 0;
}
