// Writes a movie stream: objects serialized through a storing archive, raw-deflated, behind the
// 32-byte header.
//
// | offset | size | content                                           |
// |--------|------|---------------------------------------------------|
// | 0      | 4    | "QMS "                                            |
// | 4      | 4    | uninterpreted by the player (headerWord4)         |
// | 8      | 16   | the movie's identifier                            |
// | 24     | 4    | int32 streamVersion, handed to the loading archive|
// | 28     | 4    | uninterpreted by the player (headerWord28)        |
// | 32     | ...  | one raw DEFLATE stream (no zlib header, no check) |
//
// The same objects in the same order always give the same bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/archive.h"
#include "core/memorypipe.h"
#include "core/object.h"

namespace skv {

struct StreamHeader {
    static constexpr int kSize = 32;
    uint32_t word4 = 0;
    GUID movieId{};
    int32_t streamVersion = 0;
    uint32_t word28 = 0;

    std::vector<uint8_t> encode() const;
    // False when the bytes are fewer than 32 or do not begin with "QMS ".
    static bool decode(const uint8_t* bytes, size_t size, StreamHeader* out);
};

class MovieWriter {
public:
    explicit MovieWriter(const StreamHeader& header = {});

    // Serializes the object (header and body) into the stream.
    void add(skvObject& object);
    // Adds an NTrailer unless an end marker was added, deflates and returns the whole stream.
    std::vector<uint8_t> finish();
    // The inflated content written so far.
    const std::vector<uint8_t>& content() const { return pipe_->bytes(); }

    // Writes bytes to a file (through a temporary name, so that a failed write leaves no half
    // file behind). False with a message on failure.
    static bool writeFile(const std::string& path, const std::vector<uint8_t>& bytes,
                          std::string* error);
    // Raw deflate of the given bytes.
    static std::vector<uint8_t> deflateRaw(const std::vector<uint8_t>& in);

private:
    StreamHeader header_;
    MemoryPipe* pipe_;
    uArchive archive_;
    bool ended_ = false;
};

// Reads a whole file into memory; false with a message (the system's error text) on failure.
bool readWholeFile(const std::string& path, std::vector<uint8_t>* out, std::string* error,
                   size_t maxBytes = size_t(1) << 30);

} // namespace skv
