// The cursor resources, drawn here as letters and turned into AND and XOR planes: '#' is black
// (AND 0, XOR 0), 'o' white (AND 0, XOR 1) and '.' leaves the screen as it is (AND 1, XOR 0).
#include "movie/cursors.h"

#include <cstring>

namespace skv {

namespace {

constexpr int kSize = 32;

// A pointing hand: its finger tip is the hot spot.
const char* const kHand[kSize] = {
    ".....##.........................", "....#oo#........................",
    "....#oo#........................", "....#oo#........................",
    "....#oo#........................", "....#oo###......................",
    "....#oo#oo###...................", "....#oo#oo#oo##.................",
    ".##.#oo#oo#oo#o#................", "#oo##oooooooo#o#................",
    "#ooo#oooooooooo#................", ".#oooooooooooooo#...............",
    "..#ooooooooooooo#...............", "..#oooooooooooo#................",
    "...#ooooooooooo#................", "...#oooooooooo#.................",
    "....#ooooooooo#.................", "....#ooooooooo#.................",
    "....###########.................", "................................",
    "................................", "................................",
    "................................", "................................",
    "................................", "................................",
    "................................", "................................",
    "................................", "................................",
    "................................", "................................",
};

// An hourglass: the animation behind the sprite has not arrived yet.
const char* const kHourglass[kSize] = {
    "###########.....................", "#ooooooooo#.....................",
    "###########.....................", ".#ooooooo#......................",
    ".#o#o#o#o#......................", "..#o#o#o#.......................",
    "...#o#o#........................", "....#o#.........................",
    "....#o#.........................", "...#ooo#........................",
    "..#oo#oo#.......................", ".#oo#o#oo#......................",
    ".#o#o#o#o#......................", "###########.....................",
    "#ooooooooo#.....................", "###########.....................",
    "................................", "................................",
    "................................", "................................",
    "................................", "................................",
    "................................", "................................",
    "................................", "................................",
    "................................", "................................",
    "................................", "................................",
    "................................", "................................",
};

HCURSOR makeCursor(const char* const* art, int hotX, int hotY) {
    uint8_t andPlane[kSize * kSize / 8], xorPlane[kSize * kSize / 8];
    std::memset(andPlane, 0, sizeof andPlane);
    std::memset(xorPlane, 0, sizeof xorPlane);
    for (int y = 0; y < kSize; ++y) {
        for (int x = 0; x < kSize; ++x) {
            const uint8_t bit = static_cast<uint8_t>(0x80 >> (x % 8));
            const size_t at = static_cast<size_t>(y) * (kSize / 8) + x / 8;
            if (art[y][x] == '.') andPlane[at] |= bit;
            if (art[y][x] == 'o') xorPlane[at] |= bit;
        }
    }
    return CreateCursor(nullptr, hotX, hotY, kSize, kSize, andPlane, xorPlane);
}

} // namespace

const char* const* pluginCursorArt(uint16_t id, int32_t* hotX, int32_t* hotY) {
    if (id == kClickCursor) {
        *hotX = 5;
        *hotY = 0;
        return kHand;
    }
    if (id == kWaitCursor) {
        *hotX = 5;
        *hotY = 7;
        return kHourglass;
    }
    return nullptr;
}

HCURSOR loadPluginCursor(uint16_t id) {
    static const HCURSOR click = [] {
        int32_t x = 0, y = 0;
        const char* const* art = pluginCursorArt(kClickCursor, &x, &y);
        return makeCursor(art, x, y);
    }();
    static const HCURSOR wait = [] {
        int32_t x = 0, y = 0;
        const char* const* art = pluginCursorArt(kWaitCursor, &x, &y);
        return makeCursor(art, x, y);
    }();
    if (id == kClickCursor) return click;
    if (id == kWaitCursor) return wait;
    return nullptr;
}

} // namespace skv
