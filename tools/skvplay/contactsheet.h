// ContactSheet: small copies of the pictures a run showed, each numbered, written as one PNG of
// them side by side.
//
// Which pictures: by default they are kept evenly spread over the run (at most kKeep, thinned by
// half whenever full); with `every` N, the frames whose shown-frame count is a multiple of N (N,
// 2N, 3N, ...) with the transition steps leading into them, the first kKeepEvery of them.
//
// The number under a thumbnail is the shown-frame count, the NNNNN of the --frames pictures'
// frame-NNNNN.png (1 for the first frame shown); a transition step into that frame is numbered
// NNNNN-S, as frame-NNNNN-step-SSS.png. The digits are a built-in 5 x 7 font drawn at twice its
// size, white on the sheet's grey.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/display.h"

namespace skvplay {

class ContactSheet {
public:
    static constexpr size_t kKeep = 32;
    static constexpr size_t kKeepEvery = 128;
    static constexpr int kColumns = 8;

    // What a thumbnail is numbered with: the shown-frame count, and the step of the transition
    // into that frame (0: the frame itself).
    struct Number {
        int32_t frame = 0;
        int32_t step = 0;
        std::string text() const;
        bool operator==(const Number&) const = default;
    };

    // `every`: 0 spreads the pictures evenly, N > 0 keeps every Nth shown frame.
    explicit ContactSheet(int32_t every = 0) : every_(every) {}

    // A picture the run showed, numbered `number`; `capture` is called only when the sheet keeps
    // it, so a run pays for the pictures it keeps and no others.
    void add(Number number, const std::function<skv::platform::Image()>& capture);

    size_t size() const { return thumbs_.size(); }
    // The numbers of the thumbnails, in the sheet's order (left to right, top to bottom).
    std::vector<Number> numbers() const;
    // With `every`: how many chosen pictures did not fit on the sheet.
    int32_t leftOut() const { return leftOut_; }

    skv::platform::Image render() const;
    bool write(const std::string& path, std::string* error) const;

    // Draws `text` (digits and '-') with its top left corner at (x, y), `scale` pixels a dot;
    // characters beyond the image are clipped. Returns the width drawn.
    static int drawText(skv::platform::Image& image, int x, int y, const std::string& text,
                        uint32_t colour, int scale);
    static int textWidth(const std::string& text, int scale);

private:
    struct Thumb {
        skv::platform::Image image;
        Number number;
    };

    int32_t every_;
    std::vector<Thumb> thumbs_;
    int step_ = 1;
    int seen_ = 0;
    int32_t leftOut_ = 0;
};

} // namespace skvplay
