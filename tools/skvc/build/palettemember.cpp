// Palette members: 256 colours from a list ("#RRGGBB" texts) or from a palette PNG's palette.
// Entries not given are black.
#include <cstring>

#include "core/guid.h"
#include "gfx/palette.h"
#include "image.h"
#include "members.h"

namespace skvc {

namespace {

bool parseColour(const std::string& s, RGBQUAD* out) {
    if (s.size() != 7 || s[0] != '#') return false;
    uint32_t v = 0;
    for (size_t i = 1; i < 7; ++i) {
        const char c = s[i];
        int d = (c >= '0' && c <= '9')   ? c - '0'
                : (c >= 'a' && c <= 'f') ? c - 'a' + 10
                : (c >= 'A' && c <= 'F') ? c - 'A' + 10
                                         : -1;
        if (d < 0) return false;
        v = v * 16 + static_cast<uint32_t>(d);
    }
    *out = RGBQUAD{static_cast<BYTE>(v & 0xFF), static_cast<BYTE>((v >> 8) & 0xFF),
                   static_cast<BYTE>(v >> 16), 0};
    return true;
}

} // namespace

void compilePaletteMember(MemberContext& context, Fields& f, CompiledMember& member) {
    std::vector<RGBQUAD> colours;
    const bool fromFile = f.has("file");
    if (const toml::array* list = f.array("colours")) {
        if (fromFile) f.fail("colours", "give either colours or file, not both");
        if (list->size() > 256) f.fail("colours", "holds more than 256 colours");
        for (const toml::node& n : *list) {
            RGBQUAD c{};
            std::optional<std::string> s = n.value_exact<std::string>();
            if (!s || !parseColour(*s, &c))
                throw BuildError(
                    SourcePlace{f.file(), lineOf(n), f.path() + ".colours"},
                    "colours are written \"#RRGGBB\" in hexadecimal, e.g. \"#FF8000\"");
            colours.push_back(c);
        }
    } else if (fromFile) {
        std::vector<uint8_t> bytes = context.readAsset(f, "file");
        RgbaImage image;
        std::string error;
        if (!decodeImage(bytes, &image, &colours, &error)) f.fail("file", error);
        if (colours.empty())
            f.fail("file",
                   "the picture has no palette: save it as an indexed-colour (palette) PNG");
    } else {
        f.failTable("a palette needs its colours: a list 'colours' or a palette PNG 'file'");
    }
    colours.resize(256, RGBQUAD{0, 0, 0, 0});
    auto palette = std::make_unique<skv::skvPalette>();
    std::memcpy(palette->colours, colours.data(), sizeof palette->colours);
    palette->objectId = skv::memberGuid(member.number);
    member.colours = std::move(colours);
    member.object = std::move(palette);
}

} // namespace skvc
