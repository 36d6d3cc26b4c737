#include "framestring.h"

namespace skvc {

namespace {

void put16(std::vector<uint8_t>& v, int32_t x) {
    v.push_back(static_cast<uint8_t>(x & 0xFF));
    v.push_back(static_cast<uint8_t>((x >> 8) & 0xFF));
}

// A record costs four bytes of header; a gap of up to four unchanged bytes is cheaper to copy.
constexpr int kJoinGap = 4;

} // namespace

std::vector<uint8_t> encodeFrameString(const std::vector<skv::FrameImage>& frames) {
    std::vector<uint8_t> out;
    skv::FrameImage previous{};
    previous.clear();
    for (const skv::FrameImage& image : frames) {
        const uint8_t* now = image.bytes();
        const uint8_t* was = previous.bytes();
        std::vector<uint8_t> body;
        int i = 0;
        while (i < skv::FrameImage::kSize) {
            if (now[i] == was[i]) {
                ++i;
                continue;
            }
            int end = i + 1; // one past the last changed byte of this record
            int j = end;
            while (j < skv::FrameImage::kSize && j - end <= kJoinGap) {
                if (now[j] != was[j]) end = j + 1;
                ++j;
            }
            put16(body, end - i);
            put16(body, i);
            body.insert(body.end(), now + i, now + end);
            i = end;
        }
        put16(out, static_cast<int32_t>(body.size() + 2));
        out.insert(out.end(), body.begin(), body.end());
        previous = image;
    }
    put16(out, 0);
    return out;
}

} // namespace skvc
