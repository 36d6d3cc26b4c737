// Built-ins on points and rects. Results are new values; coordinates are kept as the 16-bit
// fields points and rects hold.
#include <algorithm>

#include "script/builtinops.h"

namespace skv::builtin {

namespace {

int16_t s16(int32_t v) {
    return static_cast<int16_t>(v);
}

ScriptValue makeRectOf(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    return makeRect(s16(left), s16(top), s16(right), s16(bottom));
}

} // namespace

ScriptValue point(BuiltinCall& c) {
    return makePoint(s16(c.num(0)), s16(c.num(1)));
}

ScriptValue rect(BuiltinCall& c) {
    return makeRectOf(c.num(0), c.num(1), c.num(2), c.num(3));
}

ScriptValue rectOfPoints(BuiltinCall& c) {
    return makeRectOf(c.pointH(0), c.pointV(0), c.pointH(1), c.pointV(1));
}

ScriptValue inflate(BuiltinCall& c) {
    BuiltinRect r = c.rect(0);
    const int32_t dh = c.num(1), dv = c.num(2);
    return makeRectOf(r.left - dh, r.top - dv, r.right + dh, r.bottom + dv);
}

ScriptValue offsetRect(BuiltinCall& c) {
    BuiltinRect r = c.rect(0);
    const int32_t dh = c.num(1), dv = c.num(2);
    return makeRectOf(r.left + dh, r.top + dv, r.right + dh, r.bottom + dv);
}

ScriptValue inside(BuiltinCall& c) {
    const int32_t h = c.pointH(0), v = c.pointV(0);
    BuiltinRect r = c.rect(1);
    return ScriptValue::integer(r.top <= v && v < r.bottom && r.left <= h && h < r.right);
}

ScriptValue intersect(BuiltinCall& c) {
    BuiltinRect a = c.rect(0), b = c.rect(1);
    BuiltinRect r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                  std::min(a.bottom, b.bottom)};
    // An axis without overlap collapses to 0 on both of its sides.
    if (r.left >= r.right) r.left = r.right = 0;
    if (r.top >= r.bottom) r.top = r.bottom = 0;
    return makeRectOf(r.left, r.top, r.right, r.bottom);
}

ScriptValue unionRect(BuiltinCall& c) {
    BuiltinRect a = c.rect(0), b = c.rect(1);
    return makeRectOf(std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                      std::max(a.bottom, b.bottom));
}

} // namespace skv::builtin
