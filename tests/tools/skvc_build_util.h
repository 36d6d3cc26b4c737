// Helpers for the skvc build tests: sources held in memory, pictures made on the spot, and a
// built stream read back into objects.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/archive.h"
#include "core/memorypipe.h"
#include "core/object.h"
#include "core/registry.h"
#include "gfx/dib.h"
#include "gfx/gfxclasses.h"
#include "movie/movieclasses.h"
#include "moviebuilder.h"
#include "net/netclasses.h"
#include "roundtrip.h"
#include "script/scriptclasses.h"
#include "sound/soundclasses.h"
#include "sourcefiles.h"

namespace skvc::test {

inline void registerAll() {
    skv::registerCoreClasses();
    skv::registerNetClasses();
    skv::registerScriptClasses();
    skv::registerGfxClasses();
    skv::registerMovieClasses();
    skv::registerSoundClasses();
}

// An 8-bit BMP of w x h pixels whose pixel (x, y) has colour colours[f(x, y)].
template <class F>
std::vector<uint8_t> makeBmp(int32_t w, int32_t h, const std::vector<RGBQUAD>& colours, F f) {
    skv::nDIB dib;
    std::vector<RGBQUAD> table(256, RGBQUAD{0, 0, 0, 0});
    std::copy(colours.begin(), colours.end(), table.begin());
    dib.create(w, h, nullptr, table.data());
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x)
            *dib.pixelAt(x, y) = static_cast<uint8_t>(f(x, y));
    return dib.bmpBytes();
}

// A source whose pictures are a 4 x 2 black-and-white "a.bmp" and whose manifest is given.
inline MemorySource sourceWith(const std::string& manifest) {
    MemorySource s;
    s.add("movie.toml", manifest);
    s.add("a.bmp",
          makeBmp(4, 2, {{0, 0, 0, 0}, {255, 255, 255, 0}}, [](int x, int) { return x & 1; }));
    return s;
}

// The objects of a built stream, in order.
struct ReadBack {
    std::vector<std::unique_ptr<skv::skvObject>> objects;
    template <class T> T* find(const GUID& id) {
        for (auto& o : objects)
            if (skv::guidEqual(o->objectId, id)) return dynamic_cast<T*>(o.get());
        return nullptr;
    }
};

inline ReadBack readBack(const std::vector<uint8_t>& stream) {
    ReadBack r;
    std::vector<uint8_t> content;
    if (!inflateBody(stream, &content)) return r;
    skv::uArchive in(new skv::MemoryPipe(content), skv::uArchive::kLoading);
    while (skv::skvObject* o = skv::readObject(in))
        r.objects.emplace_back(o);
    return r;
}

// The error text a source gives ("" when it builds).
inline std::string buildError(const SourceFiles& s) {
    try {
        buildMovie(s);
    } catch (const BuildError& e) {
        return e.text();
    }
    return "";
}

} // namespace skvc::test
