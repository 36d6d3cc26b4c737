#include "gfx/identitypalette.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>

namespace skv {

const PALETTEENTRY kStaticColours[20] = {
    {0, 0, 0, 0},       {128, 0, 0, 0},     {0, 128, 0, 0},     {128, 128, 0, 0},
    {0, 0, 128, 0},     {128, 0, 128, 0},   {0, 128, 128, 0},   {192, 192, 192, 0},
    {192, 220, 192, 0}, {166, 202, 240, 0}, {255, 251, 240, 0}, {160, 160, 164, 0},
    {128, 128, 128, 0}, {255, 0, 0, 0},     {0, 255, 0, 0},     {255, 255, 0, 0},
    {0, 0, 255, 0},     {255, 0, 255, 0},   {0, 255, 255, 0},   {255, 255, 255, 0},
};

namespace {

// Squares of the component differences -255..255, indexed by difference + 255: the search runs
// 256 x 20 times per palette change and a table is cheaper than multiplying.
const std::array<int32_t, 511>& squares() {
    static const std::array<int32_t, 511> table = [] {
        std::array<int32_t, 511> t{};
        for (int d = -255; d <= 255; ++d)
            t[d + 255] = d * d;
        return t;
    }();
    return table;
}

RGBQUAD quadOf(const PALETTEENTRY& e) {
    return RGBQUAD{e.peBlue, e.peGreen, e.peRed, 0};
}

PALETTEENTRY entryOf(const RGBQUAD& q, BYTE flags) {
    return PALETTEENTRY{q.rgbRed, q.rgbGreen, q.rgbBlue, flags};
}

// Places the movie colours between the statics (entries 10..245), skipping the colours that a
// static stands in for unless all of them fit or keepAll asks for order. `statics` are the 20
// colours at entries 0-9 and 246-255.
void fillBetweenStatics(const RGBQUAD* colours, int32_t count, int32_t keepAll,
                        const PALETTEENTRY* statics, PALETTEENTRY out[256]) {
    if (count <= 236 || keepAll) {
        int32_t n = std::min(count, 236);
        for (int32_t i = 0; i < n; ++i)
            out[10 + i] = entryOf(colours[i], PC_NOCOLLAPSE);
        return;
    }
    bool matched[256] = {};
    for (int s = 0; s < 20; ++s) {
        int32_t m = nearestColour(quadOf(statics[s]), colours, count);
        if (m >= 0) matched[m] = true;
    }
    int32_t next = 10;
    for (int32_t i = 0; i < count && next <= 245; ++i) {
        if (matched[i]) continue;
        out[next++] = entryOf(colours[i], PC_NOCOLLAPSE);
    }
}

} // namespace

int32_t nearestColour(const RGBQUAD& colour, const RGBQUAD* colours, int32_t count) {
    if (!colours || count <= 0) return -1;
    const int32_t* sq = squares().data() + 255;
    int32_t best = 0;
    int32_t bestDistance = INT32_MAX;
    for (int32_t i = 0; i < count; ++i) {
        const RGBQUAD& c = colours[i];
        int32_t d = sq[c.rgbRed - colour.rgbRed] + sq[c.rgbGreen - colour.rgbGreen] +
                    sq[c.rgbBlue - colour.rgbBlue];
        if (d < bestDistance) {
            bestDistance = d;
            best = i;
        }
    }
    return best;
}

void buildIdentityEntries(const RGBQUAD* colours, int32_t count, int32_t keepAll, UINT systemUse,
                          const PALETTEENTRY* systemPalette, PALETTEENTRY out[256]) {
    std::memset(out, 0, 256 * sizeof(PALETTEENTRY));
    count = colours ? std::clamp(count, 0, 256) : 0;

    if (systemUse == SYSPAL_NOSTATIC) {
        // The system has given up its statics except black and white, which stay at the ends.
        for (int32_t i = 0; i < 256; ++i)
            out[i] = i < count ? entryOf(colours[i], PC_RESERVED) : entryOf(RGBQUAD{}, PC_RESERVED);
        out[0] = PALETTEENTRY{0, 0, 0, 0};
        out[255] = PALETTEENTRY{255, 255, 255, 0};
        return;
    }

    PALETTEENTRY statics[20];
    if (systemUse == SYSPAL_STATIC && systemPalette) {
        std::memcpy(out, systemPalette, 256 * sizeof(PALETTEENTRY));
        std::copy(systemPalette, systemPalette + 10, statics);
        std::copy(systemPalette + 246, systemPalette + 256, statics + 10);
    } else {
        // No system palette (a true-colour display): the usual statics stand in for it.
        std::copy(kStaticColours, kStaticColours + 20, statics);
        std::copy(statics, statics + 10, out);
        std::copy(statics + 10, statics + 20, out + 246);
    }
    fillBetweenStatics(colours, count, keepAll, statics, out);
    for (int i = 0; i < 10; ++i) {
        out[i].peFlags = 0;
        out[246 + i].peFlags = 0;
    }
}

HPALETTE makeIdentityPalette(const RGBQUAD* colours, int32_t count, int32_t keepAll) {
    HDC screen = GetDC(nullptr);
    UINT use = GetSystemPaletteUse(screen);
    PALETTEENTRY system[256];
    bool haveSystem = false;
    if (use == SYSPAL_STATIC) haveSystem = GetSystemPaletteEntries(screen, 0, 256, system) == 256;
    ReleaseDC(nullptr, screen);
    if (use == SYSPAL_STATIC && !haveSystem) use = SYSPAL_ERROR;

    PALETTEENTRY entries[256];
    buildIdentityEntries(colours, count, keepAll, use, haveSystem ? system : nullptr, entries);
    // LOGPALETTE ends in a one-entry array that really holds palNumEntries entries.
    alignas(LOGPALETTE) unsigned char block[offsetof(LOGPALETTE, palPalEntry) + sizeof entries];
    auto* logPalette = reinterpret_cast<LOGPALETTE*>(block);
    logPalette->palVersion = 0x300;
    logPalette->palNumEntries = 256;
    std::memcpy(block + offsetof(LOGPALETTE, palPalEntry), entries, sizeof entries);
    return CreatePalette(logPalette);
}

} // namespace skv
