// Runs a transition effect with whatever a stream's frame could ask for (any effect number,
// chunk and duration) between pictures of odd and unequal sizes, drawn into a DC smaller or
// larger than they are, on the virtual clock so that long effects cost no time.
#include <cstdint>
#include <cstring>
#include <vector>

#include "gfx/dib.h"
#include "gfx/transition.h"
#include "platform/clock.h"
#include "platform/win32.h"
#include "platform/wingdi.h"

namespace {

struct Reader {
    const uint8_t* p;
    size_t n;
    uint8_t next() {
        if (!n) return 0;
        --n;
        return *p++;
    }
};

int32_t side(Reader& r) {
    return 1 + r.next() % 48;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool clock = (skv::platform::setVirtualClock(true, 1000), true);
    (void)clock;
    Reader r{data, size};
    const int32_t effect = static_cast<int8_t>(r.next()); // -128 to 127: outside 0-52 too
    const int32_t chunk = r.next();
    // Quarter seconds on the player's 1,112 ms second, as the score computes them.
    const uint32_t duration = (r.next() & 0x7F) * 250u * 1112u / 1000u;
    const int32_t nw = side(r), nh = side(r), ow = side(r), oh = side(r), dw = side(r),
                  dh = side(r);
    const bool withOld = r.next() & 1;

    std::vector<uint8_t> pixels(static_cast<size_t>((nw + 3) / 4 * 4) * nh);
    for (uint8_t& b : pixels)
        b = r.next();
    skv::nDIB now, before;
    now.create(nw, nh, pixels.data());
    before.create(ow, oh);

    std::vector<uint8_t> info(sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD));
    auto* h = reinterpret_cast<BITMAPINFOHEADER*>(info.data());
    h->biSize = sizeof(BITMAPINFOHEADER);
    h->biWidth = dw;
    h->biHeight = dh;
    h->biPlanes = 1;
    h->biBitCount = 8;
    HDC dc = CreateCompatibleDC(nullptr);
    void* bits = nullptr;
    HBITMAP target = CreateDIBSection(dc, reinterpret_cast<BITMAPINFO*>(info.data()),
                                      DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(dc, target);

    skv::TransitionTable table;
    skv::buildTransitionTable(table);
    skv::TransitionContext context;
    skv::runTransition(table, effect, dc, &now, withOld ? &before : nullptr, 30, duration, chunk, 0,
                       &context);

    SelectObject(dc, old);
    DeleteObject(target);
    DeleteDC(dc);
    return 0;
}
