// Shape members: a line, rectangle, round rectangle or ellipse with a fill pattern. The member
// stores only its kind and pattern; its size, colours and outline width travel in the sprite
// channel that shows it, so the member gives them as the defaults of its sprites.
#include <cstring>

#include "core/guid.h"
#include "gfx/shape.h"
#include "members.h"

namespace skvc {

namespace {

struct ShapeName {
    const char* name;
    int16_t kind;
};

constexpr ShapeName kShapes[] = {
    {"line", skv::skvShape::kLineDown},       {"line-up", skv::skvShape::kLineUp},
    {"rectangle", skv::skvShape::kRectangle}, {"round-rectangle", skv::skvShape::kRoundRectangle},
    {"ellipse", skv::skvShape::kEllipse},
};

int16_t shapeKind(Fields& f) {
    const toml::node* n = f.node("shape");
    if (!n)
        f.fail("shape", "is missing: \"line\", \"line-up\", \"rectangle\", \"round-rectangle\" "
                        "or \"ellipse\"");
    if (std::optional<std::string> s = n->value_exact<std::string>())
        for (const ShapeName& k : kShapes)
            if (*s == k.name) return k.kind;
    if (std::optional<int64_t> v = n->value_exact<int64_t>(); v && *v >= 1 && *v <= 5)
        return static_cast<int16_t>(*v);
    f.fail("shape", "must be \"line\" (top left to bottom right), \"line-up\" (bottom left to top "
                    "right), \"rectangle\", \"round-rectangle\", \"ellipse\" or a kind 1-5");
}

} // namespace

void compileShapeMember(MemberContext& context, Fields& f, CompiledMember& member) {
    (void)context;
    auto shape = std::make_unique<skv::skvShape>();
    shape->kind = shapeKind(f);
    shape->pattern = static_cast<int16_t>(f.integer("pattern", 0, 0, 64));
    const auto size = f.pair("size", 1, 32767);
    if (!size) f.fail("size", "is missing: the shape's width and height, e.g. [80, 40]");
    member.fore = static_cast<uint8_t>(f.integer("fore", 255, 0, 255));
    member.back = static_cast<uint8_t>(f.integer("back", 0, 0, 255));
    // The channel keeps the width plus one in three bits: 0 to 6 pixels.
    member.lineByte = static_cast<uint8_t>(f.integer("line", 1, 0, 6) + 1);
    shape->objectId = skv::memberGuid(member.number);
    member.width = static_cast<int32_t>(size->first);
    member.height = static_cast<int32_t>(size->second);
    member.object = std::move(shape);
}

} // namespace skvc
