#include "script/framelabels.h"

#include <algorithm>
#include <cctype>

#include "script/bytes.h"

namespace skv {

FrameLabelTable::FrameLabelTable(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {
    if (bytes_.size() < 2) return;
    int32_t n = readI16(bytes_.data());
    if (n <= 0) return;
    // n pairs, the sentinel and the count word must all lie in the block.
    if (size_t(4) * size_t(n) + 6 > bytes_.size()) return;
    count_ = n;
}

int32_t FrameLabelTable::frameAt(int32_t i) const {
    if (i < 0 || i >= count_) return 0;
    return readI16(bytes_.data() + 2 + 4 * size_t(i));
}

std::string_view FrameLabelTable::textAt(int32_t i) const {
    if (i < 0 || i >= count_) return {};
    size_t from = readU16(bytes_.data() + 2 + 4 * size_t(i) + 2);
    size_t to = readU16(bytes_.data() + 2 + 4 * size_t(i + 1) + 2);
    size_t area = 4 * size_t(count_) + 6;
    size_t avail = bytes_.size() - area;
    if (to < from || to > avail) return {};
    return std::string_view(reinterpret_cast<const char*>(bytes_.data() + area + from), to - from);
}

int32_t FrameLabelTable::frameOfLabel(std::string_view name) const {
    for (int32_t i = 0; i < count_; ++i) {
        std::string_view t = textAt(i);
        if (t.empty() || t.size() != name.size()) continue;
        bool same = std::equal(t.begin(), t.end(), name.begin(), [](char a, char b) {
            return std::tolower(static_cast<unsigned char>(a)) ==
                   std::tolower(static_cast<unsigned char>(b));
        });
        if (same) return frameAt(i);
    }
    return 0;
}

bool FrameLabelTable::labelOfFrame(int32_t frame, std::string* text) const {
    for (int32_t i = 0; i < count_; ++i) {
        int32_t f = frameAt(i);
        if (f > frame) break;
        if (f == frame) {
            *text = std::string(textAt(i));
            return true;
        }
    }
    return false;
}

int32_t FrameLabelTable::marker(int32_t k, int32_t frame) const {
    if (count_ == 0) return 0;
    int32_t c = -1;
    for (int32_t i = 0; i < count_; ++i)
        if (frameAt(i) <= frame) c = i;
    int64_t i;
    if (k <= 0)
        i = c < 0 ? 0 : std::max<int64_t>(0, int64_t(c) + k);
    else
        i = c < 0 ? std::min<int64_t>(count_ - 1, int64_t(k) - 1)
                  : std::min<int64_t>(count_ - 1, int64_t(c) + k);
    return frameAt(static_cast<int32_t>(i));
}

} // namespace skv
