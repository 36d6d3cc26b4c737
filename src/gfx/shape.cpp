#include "gfx/shape.h"

#include <algorithm>

#include "core/archive.h"
#include "core/classids.h"
#include "gfx/animation.h"
#include "gfx/shapepatterns.h"
#include "gfx/stagescore.h"

namespace skv {

namespace {

COLORREF paletteRelative(COLORREF c) {
    return PALETTERGB(GetRValue(c), GetGValue(c), GetBValue(c));
}

RECT unionOf(const RECT& a, const RECT& b) {
    return RECT{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                std::max(a.bottom, b.bottom)};
}

// Every pixel draw() can paint for a shape of `kind` on `channel`, and the channel's own area.
// A pen of w pixels is centred on the path draw() gives the GDI: it reaches w / 2 pixels above
// and to the left of the path's first and last pixels and (w - 1) / 2 below and to the right of
// them, its round ends taking in both. So a figure's outline and a falling line reach w / 2
// pixels above and to the left of the channel, and a rising line, which ends at
// (right, top - w), reaches well above and to the right of it.
RECT strokeArea(int16_t kind, const SpriteChannel& channel) {
    const int32_t w = std::max(skvShape::lineSizeOf(channel), 0);
    const int32_t L = channel.left(), T = channel.top();
    const int32_t R = L + channel.width(), B = T + channel.height();
    const RECT own{L, T, R, B};
    if (w == 0) return own; // the null pen: the figure only, one column and row in
    // The first and last pixel of the path: a figure's outline and a falling line run from
    // (L, T) to (R - w, B - w), as does a line as thin as its pen, drawn as a rectangle.
    int32_t x0 = L, y0 = T, x1 = R - w, y1 = B - w;
    const bool thin = R - w == L || B - w == T;
    if (kind == skvShape::kLineUp && !thin) y0 = B - w, x1 = R, y1 = T - w;
    const int32_t before = w / 2, after = w - before;
    const RECT stroke{std::min(x0, x1) - before, std::min(y0, y1) - before,
                      std::max(x0, x1) + after, std::max(y0, y1) + after};
    return unionOf(own, stroke);
}

} // namespace

skvShape::skvShape() {
    setClassId(CLSID_skvShape);
}

void skvShape::serialize(uArchive& ar) {
    if (ar.isStoring()) {
        skvObject::serialize(ar);
        ar.writeInt16(kind).writeInt16(pattern);
        return;
    }
    kind = ar.readInt16();
    pattern = ar.readInt16();
}

int skvShape::hitTest(const SpriteChannel* channel, const tagPOINT& point) {
    if (!channel) return 0;
    const int32_t l = channel->left(), t = channel->top();
    const int32_t r = l + channel->width() - 1, b = t + channel->height() - 1;
    return point.x >= l && point.x < r && point.y >= t && point.y < b ? 1 : 0;
}

void skvShape::place(skvView* view, const SpriteChannel* channel) {
    if (channel) {
        // A shape sprite of the score names its kind in the channel; a member knows its own.
        const int16_t drawn =
            channel->shapeKind() != 0 ? static_cast<int16_t>(channel->shapeKind()) : kind;
        shapeBounds =
            unionOf(RECT{channel->left() - 1, channel->top() - 1,
                         channel->left() + channel->width(), channel->top() + channel->height()},
                    strokeArea(drawn, *channel));
    }
    if (nAnimation* stage = stageOf(view)) stage->addDirtyRect(shapeBounds);
}

void skvShape::draw(skvView* view, const SpriteChannel* channel) {
    nAnimation* stage = stageOf(view);
    if (hidden || !stage || !channel) return;
    resolveColours(view, channel);
    if (StageScore* score = stage->currentScore(); score && score->isHub()) return;

    const int32_t w = std::max(lineSizeOf(*channel), 0);
    const int32_t L = channel->left(), T = channel->top();
    const int32_t R = L + channel->width(), B = T + channel->height();
    shapeBounds = strokeArea(kind, *channel);
    nDisplayOSB* display = stage->getDisplayOSB();
    HDC dc = display->getMemoryDC();
    if (!dc || !stage->buffersCreated()) return;

    const int oldMode = SetBkMode(dc, OPAQUE);
    const COLORREF back = paletteRelative(stageColourAt(*stage, channel->backColour()));
    const COLORREF fore = paletteRelative(stageColourAt(*stage, channel->foreColour()));
    const COLORREF oldBack = SetBkColor(dc, back);
    const COLORREF oldText = SetTextColor(dc, fore);
    HPEN pen = w < 1 ? nullptr : CreatePen(PS_SOLID, w, fore);
    HBITMAP patternBitmap = shapePatternBitmap(pattern);
    HBRUSH brush = patternBitmap ? CreatePatternBrush(patternBitmap) : nullptr;
    HGDIOBJ oldPen = SelectObject(dc, pen ? pen : GetStockObject(NULL_PEN));
    HGDIOBJ oldBrush = SelectObject(dc, brush ? brush : GetStockObject(NULL_BRUSH));

    // The figure's right and bottom come in by the pen's width less one, so that the outline
    // ends on the bounds; with no pen the GDI leaves out one column and row itself.
    const int32_t r = R - w + 1, b = B - w + 1;
    switch (kind) {
    case kLineDown:
    case kLineUp:
        // A line as thin as its pen is the rectangle it covers.
        if (R - w == L || B - w == T) {
            Rectangle(dc, L, T, r, b);
        } else if (kind == kLineDown) {
            MoveToEx(dc, L, T, nullptr);
            LineTo(dc, R - w, B - w);
        } else {
            MoveToEx(dc, L, B - w, nullptr);
            LineTo(dc, R, T - w);
        }
        break;
    case kRectangle:
        if (!(ink == kHubSpriteInk && foregroundIndex == backgroundIndex))
            Rectangle(dc, L, T, r, b);
        break;
    case kRoundRectangle: {
        // Corners as tall as the shape: the ends are fully rounded.
        const int32_t h = B - T;
        RoundRect(dc, L, T, r, b, h - w, h - w + 1);
        break;
    }
    case kEllipse:
        Ellipse(dc, L, T, r, b);
        break;
    default:
        break;
    }

    stage->addDirtyRect(shapeBounds);
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
    if (pen) DeleteObject(pen);
    if (brush) DeleteObject(brush);
    SetTextColor(dc, oldText);
    SetBkColor(dc, oldBack);
    SetBkMode(dc, oldMode);
}

} // namespace skv
