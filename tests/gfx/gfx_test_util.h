// Helpers for the graphics tests: bitmaps written and read row by row (top row first, as a
// picture is looked at), and stored forms through memory pipes.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "core/archive.h"
#include "core/errors.h"
#include "core/memorypipe.h"
#include "gfx/dib.h"

namespace skv::test {

using Rows = std::vector<std::vector<uint8_t>>;

// A width x rows.size() bitmap with the given pixels, top row first.
inline std::unique_ptr<nDIB> bitmapOf(const Rows& rows) {
    auto d = std::make_unique<nDIB>();
    const int32_t h = static_cast<int32_t>(rows.size());
    const int32_t w = h ? static_cast<int32_t>(rows[0].size()) : 0;
    d->create(w, h);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x)
            *d->pixelAt(x, y) = rows[y][x];
    return d;
}

inline Rows rowsOf(const nDIB& d) {
    Rows rows(d.height(), std::vector<uint8_t>(d.width()));
    for (int32_t y = 0; y < d.height(); ++y)
        for (int32_t x = 0; x < d.width(); ++x)
            rows[y][x] = *d.pixelAt(x, y);
    return rows;
}

inline std::vector<uint8_t> storedBytes(const std::function<void(uArchive&)>& f) {
    auto* pipe = new MemoryPipe;
    uArchive ar(pipe, uArchive::kStoring);
    f(ar);
    return pipe->bytes();
}

// The whole stored form of an object: the 64-byte header and its body.
inline std::vector<uint8_t> stored(skvObject& o) {
    return storedBytes([&](uArchive& ar) { writeObject(ar, o); });
}

// Loads a body into `o` after skipping the 64-byte header, as the object reader would; answers
// the bytes left over.
inline std::vector<uint8_t> loadInto(skvObject& o, std::vector<uint8_t> bytes) {
    auto* pipe = new MemoryPipe(std::move(bytes));
    uArchive ar(pipe, uArchive::kLoading);
    uint8_t header[skvObject::kHeaderSize];
    ar.read(header, sizeof header);
    o.serialize(ar);
    std::vector<uint8_t> rest(pipe->remaining());
    if (!rest.empty()) ar.read(rest.data(), static_cast<int32_t>(rest.size()));
    return rest;
}

// The code of the CoreError f raises, or 0.
inline int32_t errorCodeOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const CoreError& e) {
        return e.code;
    }
    return 0;
}

inline RGBQUAD rgb(int r, int g, int b) {
    return RGBQUAD{static_cast<BYTE>(b), static_cast<BYTE>(g), static_cast<BYTE>(r), 0};
}

inline bool sameColour(const RGBQUAD& a, const RGBQUAD& b) {
    return a.rgbRed == b.rgbRed && a.rgbGreen == b.rgbGreen && a.rgbBlue == b.rgbBlue;
}

} // namespace skv::test
