#include "movie/scorecursor.h"

#include <algorithm>
#include <cstring>

#include "gfx/dib.h"
#include "gfx/shape.h"
#include "movie/score.h"

namespace skv {

namespace {

int16_t int16At(const uint8_t* p) {
    return static_cast<int16_t>(p[0] | (p[1] << 8));
}

void setAllVisible(int32_t* flags) {
    // Every byte 1, as the player has always done: any non-zero value means visible.
    std::memset(flags, 1, sizeof(int32_t) * FrameImage::kChannels);
}

} // namespace

int32_t frameLengthAt(const uint8_t* data, size_t size, size_t pos) {
    // Data that lacks an end marker still ends.
    if (!data || pos + 2 > size) return 0;
    const int32_t length = int16At(data + pos);
    if (length < 2 || pos + static_cast<size_t>(length) > size) return 0;
    return length;
}

skvScoreCursor::skvScoreCursor(const uint8_t* data, int32_t length)
    : data_(data), length_(data && length > 0 ? static_cast<size_t>(length) : 0) {
    setAllVisible(visibility);
}

void skvScoreCursor::applyFrame(size_t pos, int32_t length) {
    const size_t end = pos + static_cast<size_t>(length);
    uint8_t* image = current.bytes();
    size_t r = pos + 2;
    while (r + 4 <= end) {
        const int32_t count = int16At(data_ + r);
        const int32_t offset = int16At(data_ + r + 2);
        if (count < 0) break;
        const size_t body = r + 4;
        const int32_t avail = static_cast<int32_t>(std::min<size_t>(count, end - body));
        // Only the part of the record that lands inside the image is applied.
        const int32_t lo = std::max(0, -offset);
        const int32_t hi = std::min(avail, FrameImage::kSize - offset);
        if (hi > lo) std::memcpy(image + offset + lo, data_ + body + lo, hi - lo);
        r = body + static_cast<size_t>(count);
    }
}

bool skvScoreCursor::decodeUpTo(int32_t n) {
    while (frame_ < n) {
        const int32_t length = frameLengthAt(data_, length_, pos_);
        if (length == 0) return false;
        applyFrame(pos_, length);
        ++frame_;
        pos_ += static_cast<size_t>(length);
    }
    mergePuppets(nullptr);
    return true;
}

void skvScoreCursor::reset() {
    frame_ = 0;
    current.clear();
    pos_ = 0;
    decodeUpTo(1);
}

void skvScoreCursor::fullReset() {
    puppet.clear();
    previous.clear();
    setAllVisible(visibility);
    reset();
}

void skvScoreCursor::mergePuppets(skvScore* score) {
    for (int i = 0; i < FrameImage::kChannels; ++i) {
        SpriteChannel& p = puppet[i];
        if (!p.isPuppet()) continue;
        p.setScriptNumber(current[i].scriptNumber());
        if (score && p.castNumber() != previous[i].castNumber()) {
            // A shape member is as large as the channel says; its picture is only the empty
            // 4 x 4 every member starts with, and would shrink the shape to that.
            auto* bitmap = dynamic_cast<nDIB*>(score->findMemberWaiting(p.castNumber()));
            if (bitmap && !dynamic_cast<skvShape*>(bitmap)) {
                p.setWidth(static_cast<int16_t>(bitmap->width()));
                p.setHeight(static_cast<int16_t>(bitmap->height()));
            }
        }
        current[i] = p;
    }
}

int32_t skvScoreCursor::countFrames() const {
    int32_t count = 0;
    for (size_t pos = pos_;;) {
        const int32_t length = frameLengthAt(data_, length_, pos);
        if (length == 0) break;
        ++count;
        pos += static_cast<size_t>(length);
    }
    return count + 1;
}

} // namespace skv
