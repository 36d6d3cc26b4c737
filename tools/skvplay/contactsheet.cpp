#include "contactsheet.h"

#include <algorithm>

namespace skvplay {

using skv::platform::Image;

namespace {

constexpr int kGap = 4;          // between the cells and around the sheet
constexpr int kScale = 2;        // screen pixels a font dot
constexpr int kGlyphWidth = 5;   // font dots
constexpr int kGlyphHeight = 7;  // font dots
constexpr int kLabelPadding = 3; // above and below the digits
constexpr int kLabelHeight = kGlyphHeight * kScale + 2 * kLabelPadding;
constexpr uint32_t kBackground = 0x404040;
constexpr uint32_t kInk = 0xFFFFFF;

// Rows from the top, the leftmost dot in bit 4.
constexpr uint8_t kDigits[10][kGlyphHeight] = {
    {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}, // 0
    {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E}, // 1
    {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}, // 2
    {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E}, // 3
    {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}, // 4
    {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E}, // 5
    {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}, // 6
    {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08}, // 7
    {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}, // 8
    {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C}, // 9
};
constexpr uint8_t kDash[kGlyphHeight] = {0x00, 0x00, 0x00, 0x1F, 0x00, 0x00, 0x00};

const uint8_t* glyphFor(char c) {
    if (c >= '0' && c <= '9') return kDigits[c - '0'];
    if (c == '-') return kDash;
    return nullptr;
}

Image halfSize(const Image& frame) {
    Image t;
    t.width = std::max(1, frame.width / 2);
    t.height = std::max(1, frame.height / 2);
    t.pixels.resize(static_cast<size_t>(t.width) * t.height);
    for (int y = 0; y < t.height; ++y)
        for (int x = 0; x < t.width; ++x)
            t.pixels[static_cast<size_t>(y) * t.width + x] =
                frame.at(std::min(x * 2, frame.width - 1), std::min(y * 2, frame.height - 1));
    return t;
}

} // namespace

std::string ContactSheet::Number::text() const {
    std::string s = std::to_string(frame);
    if (step > 0) {
        s += '-';
        s += std::to_string(step);
    }
    return s;
}

int ContactSheet::textWidth(const std::string& text, int scale) {
    // One dot of space between characters.
    return text.empty() ? 0 : static_cast<int>(text.size()) * (kGlyphWidth + 1) * scale - scale;
}

int ContactSheet::drawText(Image& image, int x, int y, const std::string& text, uint32_t colour,
                           int scale) {
    for (size_t i = 0; i < text.size(); ++i) {
        const uint8_t* glyph = glyphFor(text[i]);
        if (!glyph) continue;
        const int left = x + static_cast<int>(i) * (kGlyphWidth + 1) * scale;
        for (int row = 0; row < kGlyphHeight; ++row)
            for (int col = 0; col < kGlyphWidth; ++col) {
                if (!(glyph[row] & (0x10 >> col))) continue;
                for (int dy = 0; dy < scale; ++dy)
                    for (int dx = 0; dx < scale; ++dx) {
                        const int px = left + col * scale + dx, py = y + row * scale + dy;
                        if (px < 0 || py < 0 || px >= image.width || py >= image.height) continue;
                        image.pixels[static_cast<size_t>(py) * image.width + px] = colour;
                    }
            }
    }
    return textWidth(text, scale);
}

void ContactSheet::add(Number number, const std::function<Image()>& capture) {
    if (every_ > 0) {
        if (number.frame % every_ != 0) return;
        if (thumbs_.size() >= kKeepEvery) {
            if (number.step == 0) ++leftOut_;
            return;
        }
    } else if (seen_++ % step_ != 0) {
        return;
    }
    const Image picture = capture();
    if (picture.width <= 0 || picture.height <= 0) return;
    thumbs_.push_back({halfSize(picture), number});
    if (every_ == 0 && thumbs_.size() >= kKeep) {
        std::vector<Thumb> kept;
        for (size_t i = 0; i < thumbs_.size(); i += 2)
            kept.push_back(std::move(thumbs_[i]));
        thumbs_ = std::move(kept);
        step_ *= 2;
    }
}

std::vector<ContactSheet::Number> ContactSheet::numbers() const {
    std::vector<Number> out;
    for (const Thumb& t : thumbs_)
        out.push_back(t.number);
    return out;
}

Image ContactSheet::render() const {
    Image sheet;
    if (thumbs_.empty()) return sheet;
    int cellW = 0, pictureH = 0;
    for (const Thumb& t : thumbs_) {
        cellW = std::max({cellW, t.image.width, textWidth(t.number.text(), kScale)});
        pictureH = std::max(pictureH, t.image.height);
    }
    const int cellH = pictureH + kLabelHeight;
    const int columns = std::min<int>(kColumns, static_cast<int>(thumbs_.size()));
    const int rows = (static_cast<int>(thumbs_.size()) + columns - 1) / columns;
    sheet.width = columns * (cellW + kGap) + kGap;
    sheet.height = rows * (cellH + kGap) + kGap;
    sheet.pixels.assign(static_cast<size_t>(sheet.width) * sheet.height, kBackground);
    for (size_t i = 0; i < thumbs_.size(); ++i) {
        const Image& t = thumbs_[i].image;
        const int cellX = kGap + static_cast<int>(i % columns) * (cellW + kGap);
        const int oy = kGap + static_cast<int>(i / columns) * (cellH + kGap);
        // The picture, and the number under it, centred in the cell.
        const int ox = cellX + (cellW - t.width) / 2;
        for (int y = 0; y < t.height; ++y)
            for (int x = 0; x < t.width; ++x)
                sheet.pixels[static_cast<size_t>(oy + y) * sheet.width + ox + x] = t.at(x, y);
        const std::string text = thumbs_[i].number.text();
        drawText(sheet, cellX + (cellW - textWidth(text, kScale)) / 2,
                 oy + t.height + kLabelPadding, text, kInk, kScale);
    }
    return sheet;
}

bool ContactSheet::write(const std::string& path, std::string* error) const {
    if (thumbs_.empty()) {
        *error = "no frames were shown";
        return false;
    }
    return skv::platform::writePng(render(), path, error);
}

} // namespace skvplay
