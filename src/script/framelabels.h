// FrameLabelTable: the movie's frame labels, one byte block kept as it came from the stream.
//
// | part                                  | content                                            |
// |---------------------------------------|----------------------------------------------------|
// | int16 n                               | number of labels                                   |
// | (n + 1) x {int16 frame, uint16 text}  | one pair per label by ascending frame; the last is a
// sentinel whose text offset ends the last label | | text area, from byte 4n + 6           | label
// i: area bytes textOffset[i] .. textOffset[i+1], no NUL |
//
// A table whose pairs do not fit in the block counts as having no labels; a label whose text runs
// outside the block, or ends before it starts, has the empty text.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace skv {

class FrameLabelTable {
public:
    FrameLabelTable() = default;
    explicit FrameLabelTable(std::vector<uint8_t> bytes);

    const std::vector<uint8_t>& bytes() const { return bytes_; }
    int32_t count() const { return count_; }
    int32_t frameAt(int32_t i) const;
    std::string_view textAt(int32_t i) const;

    // The frame of the first label whose text equals the name ignoring case; 0 when none.
    int32_t frameOfLabel(std::string_view name) const;
    // The text of a label on that frame; false when the frame has none.
    bool labelOfFrame(int32_t frame, std::string* text) const;
    // marker(k) relative to frame f: 0 is the label at or before f, 1 the next, -1 the previous,
    // clamped to the first and last label. 0 when there are no labels.
    int32_t marker(int32_t k, int32_t frame) const;

private:
    std::vector<uint8_t> bytes_;
    int32_t count_ = 0;
};

} // namespace skv
