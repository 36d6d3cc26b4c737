// skvScoreCursor: decodes a score's frame string, forward only, into the current frame image,
// and keeps the puppet and previous images beside it.
//
// Frame string: a sequence of frames, each
//
// | field        | type  | notes                                                              |
// |--------------|-------|--------------------------------------------------------------------|
// | frame length | int16 | bytes of the frame including this word; 0 ends the string          |
// | records      |       | until the frame's end: int16 count n, int16 image offset o, then n |
// |              |       | bytes for image bytes o ... o + n - 1; the next record starts 4 + n |
// |              |       | bytes after this one                                               |
//
// Frame 1 applies to an all-zero image, every later frame to what its predecessor left. The
// string comes from the stream: a frame whose length is below 2 or runs past the data ends the
// string there, a record with a negative count ends its frame, and a record's bytes are cut to
// its frame and to the image, so no string makes the cursor read or write outside its buffers.
#pragma once

#include <cstddef>
#include <cstdint>

#include "movie/frameimage.h"

namespace skv {

class skvScore;

// The length of the frame at `pos` of a frame string of `size` bytes, or 0 when the string ends
// there (an end marker, no room for a length, or a frame that is malformed).
int32_t frameLengthAt(const uint8_t* data, size_t size, size_t pos);

class skvScoreCursor {
public:
    // Reads the frame string data[0 .. length), which must outlive the cursor. Starts before
    // frame 1 with every image zeroed and every channel visible.
    skvScoreCursor(const uint8_t* data, int32_t length);

    int32_t frameNumber() const { return frame_; }
    // Decodes forward until frame n is current, then merges the puppets (without member
    // lookup). False when the string ends first: the image keeps the last complete frame, the
    // frame number stays where it got to and nothing is merged.
    bool decodeUpTo(int32_t n);
    // Back to frame 1: the current image is rebuilt from zero.
    void reset();
    // reset, after zeroing the puppet and previous images and making every channel visible.
    void fullReset();
    // Copies every puppet channel over the current image, keeping the score's sprite script.
    // With a score, a puppet channel whose member changed since the last render takes the new
    // member's size.
    void mergePuppets(skvScore* score);
    // Frames from the read position to the end of the string, plus one.
    int32_t countFrames() const;
    // Offset of the next frame in the string.
    size_t readPosition() const { return pos_; }

    int32_t channelCount = FrameImage::kChannels;
    int32_t channelCount2 = FrameImage::kChannels;
    FrameImage current{};
    FrameImage puppet{};
    FrameImage previous{};
    int32_t visibility[FrameImage::kChannels];

private:
    void applyFrame(size_t pos, int32_t length);

    const uint8_t* data_;
    size_t length_;
    size_t pos_ = 0;
    int32_t frame_ = 0;
};

} // namespace skv
