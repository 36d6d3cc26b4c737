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
        shapeBounds = RECT{channel->left() - 1, channel->top() - 1,
                           channel->left() + channel->width(), channel->top() + channel->height()};
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
    shapeBounds = RECT{L, T, R, B};
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
