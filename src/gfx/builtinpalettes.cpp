// The built-in palettes' colour tables. Every one has white at entry 0 and black at entry 255.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>

#include "gfx/palette.h"

namespace skv {

namespace {

using Table = std::array<RGBQUAD, 256>;

RGBQUAD rgb(int r, int g, int b) {
    return RGBQUAD{static_cast<BYTE>(b), static_cast<BYTE>(g), static_cast<BYTE>(r), 0};
}

RGBQUAD hex(uint32_t rrggbb) {
    return rgb((rrggbb >> 16) & 0xFF, (rrggbb >> 8) & 0xFF, rrggbb & 0xFF);
}

// A fully saturated colour on a hue wheel of 6 x 255 steps: 0 red, 255 yellow, 510 green,
// 765 cyan, 1020 blue, 1275 magenta.
RGBQUAD wheel(int u) {
    u = ((u % 1530) + 1530) % 1530;
    int seg = u / 255, t = u % 255;
    switch (seg) {
    case 0:
        return rgb(255, t, 0);
    case 1:
        return rgb(255 - t, 255, 0);
    case 2:
        return rgb(0, 255, t);
    case 3:
        return rgb(0, 255 - t, 255);
    case 4:
        return rgb(t, 0, 255);
    default:
        return rgb(255, 0, 255 - t);
    }
}

// The system palette of a 256-colour movie: the 6 x 6 x 6 cube, then red, green, blue and grey
// ramps, black last.
Table makeSystemTable() {
    static constexpr int kLevels[6] = {255, 204, 153, 102, 51, 0};
    static constexpr int kRamp[10] = {238, 221, 187, 170, 136, 119, 85, 68, 34, 17};
    Table t{};
    for (int i = 0; i < 215; ++i)
        t[i] = rgb(kLevels[i / 36], kLevels[(i / 6) % 6], kLevels[i % 6]);
    for (int k = 0; k < 10; ++k) {
        t[215 + k] = rgb(kRamp[k], 0, 0);
        t[225 + k] = rgb(0, kRamp[k], 0);
        t[235 + k] = rgb(0, 0, kRamp[k]);
        t[245 + k] = rgb(kRamp[k], kRamp[k], kRamp[k]);
    }
    t[255] = rgb(0, 0, 0);
    return t;
}

// The operating system's own 256-colour table, shared by numbers -101 and -102.
Table makeWindowsTable() {
    static constexpr uint32_t kColours[256] = {
        0xFFFFFF, 0x00FFFF, 0xFF00FF, 0x0000FF, 0xFFFF00, 0x00FF00, 0xFF0000, 0x808080, // 0
        0xA0A0A4, 0xFFFBF0, 0x333333, 0x996600, 0x336633, 0x003399, 0xCC00FF, 0x880000, // 8
        0xFFCC66, 0xFF99CC, 0xDDDDDD, 0xFF9900, 0xFF66FF, 0xFF66CC, 0xFF6699, 0xFF6666, // 16
        0xFF6633, 0xFF6600, 0xFF33FF, 0xFF33CC, 0xFF3399, 0xFF3366, 0xFF3333, 0xFF3300, // 24
        0xFF00CC, 0xFF0099, 0xFF0066, 0xFF0033, 0xCCFFFF, 0xCCFFCC, 0xCCFF99, 0xCCFF66, // 32
        0xCCFF33, 0xCCFF00, 0xCCCCFF, 0xCCCCCC, 0xCCCC99, 0xCCCC66, 0xCCCC33, 0xCCCC00, // 40
        0xCC99FF, 0xCC99CC, 0xCC9999, 0xCC9966, 0xCC9933, 0xCC9900, 0xCC66FF, 0xCC66CC, // 48
        0xCC6699, 0xCC6666, 0xCC6633, 0xCC6600, 0xCC33FF, 0xCC33CC, 0xCC3399, 0xCC3366, // 56
        0xCC3333, 0xCC3300, 0xD408FF, 0xCC00CC, 0xCC0099, 0xCC0066, 0xCC0033, 0xCC0000, // 64
        0x99FFFF, 0x99FFCC, 0x99FF99, 0x99FF66, 0x99FF33, 0x99FF00, 0x99CCFF, 0x99CCCC, // 72
        0x99CC99, 0x99CC66, 0x99CC33, 0x99CC00, 0x9999FF, 0x9999CC, 0x999999, 0x999966, // 80
        0x999933, 0x999900, 0x9966FF, 0x9966CC, 0x996699, 0x996666, 0x996633, 0xA16600, // 88
        0x9933FF, 0x9933CC, 0x993399, 0x993366, 0x993333, 0x993300, 0x9900FF, 0x9900CC, // 96
        0x990099, 0x990066, 0x990033, 0x990000, 0x66FFFF, 0x66FFCC, 0x66FF99, 0x66FF66, // 104
        0x66FF33, 0x66FF00, 0x66CCFF, 0x66CCCC, 0x66CC99, 0x66CC66, 0x66CC33, 0x66CC00, // 112
        0x6699FF, 0x6699CC, 0x669999, 0x669966, 0x669933, 0x669900, 0x6666FF, 0x6666CC, // 120
        0x666699, 0x666666, 0x666633, 0x666600, 0x6633FF, 0x6633CC, 0x663399, 0x663366, // 128
        0x663333, 0x663300, 0x6600FF, 0x6600CC, 0x660099, 0x660066, 0x660033, 0x660000, // 136
        0x33FFFF, 0x33FFCC, 0x33FF99, 0x33FF66, 0x33FF33, 0x33FF00, 0x33CCFF, 0x33CCCC, // 144
        0x33CC99, 0x33CC66, 0x33CC33, 0x33CC00, 0x3399FF, 0x3399CC, 0x339999, 0x339966, // 152
        0x339933, 0x339900, 0x3366FF, 0x3366CC, 0x336699, 0x336666, 0x336E33, 0x336600, // 160
        0x3333FF, 0x3333CC, 0x333399, 0x333366, 0x33333B, 0x333300, 0x3300FF, 0x3300CC, // 168
        0x330099, 0x330066, 0x330033, 0x330000, 0x00FFCC, 0x00FF99, 0x00FF66, 0x00FF33, // 176
        0x00CCFF, 0x00CCCC, 0x00CC99, 0x00CC66, 0x00CC33, 0x00CC00, 0x0099FF, 0x0099CC, // 184
        0x009999, 0x009966, 0x009933, 0x009900, 0x0066FF, 0x0066CC, 0x006699, 0x006666, // 192
        0x006633, 0x006600, 0x0033FF, 0x0033CC, 0x0033A1, 0x003366, 0x003333, 0x003300, // 200
        0x0000CC, 0x000099, 0x000066, 0x000033, 0xEE0000, 0xDD0000, 0xAA0000, 0x900000, // 208
        0x770000, 0x550000, 0x440000, 0x220000, 0x110000, 0x00EE00, 0x00DD00, 0x00AA00, // 216
        0x008800, 0x007700, 0x005500, 0x004400, 0x002200, 0x001100, 0x0000EE, 0x0000DD, // 224
        0x0000AA, 0x000088, 0x000077, 0x000055, 0x000044, 0x000022, 0x000011, 0x222230, // 232
        0xFF9999, 0xFFCCFF, 0x99D4FF, 0x99D499, 0xFFFF99, 0xF0F0F0, 0xA4C8F0, 0xC0DCC0, // 240
        0xC0C0C0, 0x00BFBF, 0xBF00BF, 0x0000BF, 0xBFBF00, 0x00BF00, 0xBF0000, 0x000000, // 248
    };
    Table t{};
    for (int i = 0; i < 256; ++i)
        t[i] = hex(kColours[i]);
    return t;
}

Table makeGreyTable() {
    Table t{};
    for (int i = 0; i < 256; ++i)
        t[i] = rgb(255 - i, 255 - i, 255 - i);
    return t;
}

// The designed palettes share one layout: white; two fixed opening colours; 234 colours swept
// around the hue wheel in three bands of falling lightness; a grey ramp down to `lastGrey` at
// entry 254; black.
struct Design {
    RGBQUAD first, second;
    int hueStart; // wheel position of entry 3
    int hueStep;  // wheel steps from one entry to the next
    int whiteMix; // 0-256: how far the swept colours are mixed toward white
    int lastGrey; // the grey of entry 254
};

Table makeDesignedTable(const Design& d) {
    Table t{};
    t[0] = rgb(255, 255, 255);
    t[1] = d.first;
    t[2] = d.second;
    static constexpr int kBandShade[3] = {256, 192, 128}; // full, three quarters, half lightness
    for (int i = 3; i <= 236; ++i) {
        int k = i - 3; // 0..233, 78 per band
        RGBQUAD c = wheel(d.hueStart + k * d.hueStep);
        int shade = kBandShade[k / 78];
        auto tone = [&](int v) {
            int mixed = v + ((255 - v) * d.whiteMix) / 256;
            return (mixed * shade) / 256;
        };
        t[i] = rgb(tone(c.rgbRed), tone(c.rgbGreen), tone(c.rgbBlue));
    }
    // 237..254: 18 greys falling evenly from about 220 to lastGrey.
    for (int i = 237; i <= 254; ++i) {
        int g = d.lastGrey + ((254 - i) * (220 - d.lastGrey)) / 17;
        t[i] = rgb(g, g, g);
    }
    t[255] = rgb(0, 0, 0);
    return t;
}

struct Tables {
    Table system = makeSystemTable();
    Table windows = makeWindowsTable();
    Table grey = makeGreyTable();
    // -2: vivid colours, opening on sky blues.
    Table vivid = makeDesignedTable({rgb(0, 105, 255), rgb(0, 99, 255), 915, 20, 0, 16});
    // -4: pale warm tints.
    Table pastel = makeDesignedTable({rgb(254, 254, 242), rgb(254, 253, 230), 255, 20, 200, 16});
    // -5: light tints, a little stronger.
    Table light = makeDesignedTable({rgb(254, 254, 238), rgb(254, 253, 221), 255, 20, 150, 16});
    // -6: deep purples first, then strong colours.
    Table deep = makeDesignedTable({rgb(89, 43, 133), rgb(93, 33, 95), 1200, 20, 40, 16});
    // -7: muted, greyish colours.
    Table muted = makeDesignedTable({rgb(102, 76, 128), rgb(95, 66, 108), 1200, 20, 100, 17});
};

const Tables& tables() {
    static const Tables t;
    return t;
}

} // namespace

const RGBQUAD* builtInColours(int32_t number) {
    const Tables& t = tables();
    switch (number) {
    case -1:
        return t.system.data();
    case -101:
    case -102:
        return t.windows.data();
    case -2:
        return t.vivid.data();
    case -3:
        return t.grey.data();
    case -4:
        return t.pastel.data();
    case -5:
        return t.light.data();
    case -6:
        return t.deep.data();
    case -7:
        return t.muted.data();
    default:
        return nullptr;
    }
}

} // namespace skv
