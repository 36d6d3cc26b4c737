#include "contactsheet.h"

#include <algorithm>

namespace skvplay {

using skv::platform::Image;

void ContactSheet::add(const Image& frame) {
    if (frame.width <= 0 || frame.height <= 0) return;
    if (seen_++ % step_ != 0) return;
    Image t;
    t.width = std::max(1, frame.width / 2);
    t.height = std::max(1, frame.height / 2);
    t.pixels.resize(static_cast<size_t>(t.width) * t.height);
    for (int y = 0; y < t.height; ++y)
        for (int x = 0; x < t.width; ++x)
            t.pixels[static_cast<size_t>(y) * t.width + x] = frame.at(x * 2, y * 2);
    thumbs_.push_back(std::move(t));
    if (thumbs_.size() >= kKeep) {
        std::vector<Image> kept;
        for (size_t i = 0; i < thumbs_.size(); i += 2)
            kept.push_back(std::move(thumbs_[i]));
        thumbs_ = std::move(kept);
        step_ *= 2;
    }
}

bool ContactSheet::write(const std::string& path, std::string* error) const {
    if (thumbs_.empty()) {
        *error = "no frames were shown";
        return false;
    }
    constexpr int kGap = 4;
    int cellW = 0, cellH = 0;
    for (const Image& t : thumbs_) {
        cellW = std::max(cellW, t.width);
        cellH = std::max(cellH, t.height);
    }
    const int columns = std::min<int>(kColumns, static_cast<int>(thumbs_.size()));
    const int rows = (static_cast<int>(thumbs_.size()) + columns - 1) / columns;
    Image sheet;
    sheet.width = columns * (cellW + kGap) + kGap;
    sheet.height = rows * (cellH + kGap) + kGap;
    sheet.pixels.assign(static_cast<size_t>(sheet.width) * sheet.height, 0x404040);
    for (size_t i = 0; i < thumbs_.size(); ++i) {
        const Image& t = thumbs_[i];
        const int ox = kGap + static_cast<int>(i % columns) * (cellW + kGap);
        const int oy = kGap + static_cast<int>(i / columns) * (cellH + kGap);
        for (int y = 0; y < t.height; ++y)
            for (int x = 0; x < t.width; ++x)
                sheet.pixels[static_cast<size_t>(oy + y) * sheet.width + ox + x] = t.at(x, y);
    }
    return skv::platform::writePng(sheet, path, error);
}

} // namespace skvplay
