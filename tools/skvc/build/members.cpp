#include "members.h"

#include "gfx/palette.h"

namespace skvc {

int32_t NameTable::intern(const std::string& name) {
    auto it = index_.find(name);
    if (it != index_.end()) return it->second;
    const int32_t id = static_cast<int32_t>(names_.size());
    names_.push_back(name);
    index_[name] = id;
    return id;
}

std::vector<uint8_t> MemberContext::readAsset(Fields& f, const char* key, std::string* name) const {
    std::optional<std::string> file = f.string(key);
    if (!file) f.fail(key, "is missing: name the file, relative to the source directory");
    std::vector<uint8_t> bytes;
    std::string error;
    if (!files.read(*file, &bytes, &error)) f.fail(key, error);
    if (name) *name = *file;
    return bytes;
}

const RGBQUAD* MemberContext::paletteColours(int32_t number) const {
    if (const RGBQUAD* c = skv::builtInColours(number)) return c;
    auto it = compiled.find(number);
    if (it == compiled.end() || it->second->kind != MemberKindId::Palette) return nullptr;
    return it->second->colours.data();
}

int32_t MemberContext::paletteField(Fields& f, const char* key) const {
    const toml::node* n = f.node(key);
    if (!n) return defaultPalette;
    int32_t number = 0;
    if (std::optional<std::string> name = n->value_exact<std::string>()) {
        auto it = numbersByName.find(*name);
        if (it == numbersByName.end()) f.fail(key, "no member is named '" + *name + "'");
        number = it->second;
    } else if (std::optional<int64_t> v = n->value_exact<int64_t>()) {
        if (*v < -32768 || *v > 32767) f.fail(key, "is not a palette number");
        number = static_cast<int32_t>(*v);
    } else {
        f.fail(key, "must be a palette number or a palette member's name");
    }
    if (!paletteColours(number))
        f.fail(key, "names no palette: use a built-in palette (-1, -2 ... -7, -101, -102) or a "
                    "palette member declared in this manifest");
    return number;
}

COLORREF MemberContext::colourField(Fields& f, const char* key, COLORREF fallback) const {
    std::optional<std::string> s = f.string(key);
    if (!s) return fallback;
    const auto hex = [](char c) {
        return c >= '0' && c <= '9'   ? c - '0'
               : c >= 'a' && c <= 'f' ? c - 'a' + 10
               : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                      : -1;
    };
    int v[6] = {};
    bool ok = s->size() == 7 && (*s)[0] == '#';
    for (size_t i = 0; ok && i < 6; ++i)
        ok = (v[i] = hex((*s)[i + 1])) >= 0;
    if (!ok) f.fail(key, "must be a colour written \"#RRGGBB\", e.g. \"#FF8000\"");
    return RGB(v[0] * 16 + v[1], v[2] * 16 + v[3], v[4] * 16 + v[5]);
}

const std::vector<MemberKind>& memberKinds() {
    static const std::vector<MemberKind> kinds = {
        {"palette", MemberKindId::Palette, 0, &compilePaletteMember},
        {"bitmap", MemberKindId::Bitmap, 1, &compileBitmapMember},
        {"script", MemberKindId::Script, 1, &compileScriptMember},
        {"shape", MemberKindId::Shape, 1, &compileShapeMember},
        {"text", MemberKindId::Text, 1, &compileTextMember},
        {"sound", MemberKindId::Sound, 1, &compileSoundMember},
    };
    return kinds;
}

} // namespace skvc
