// The embed source: what the browser delivers for the page's embed element, as the instance's
// first stream. It is either a small text file naming the movie or the movie stream itself.
//
// A text file's first line is the movie's address; at most the first 1023 bytes count, and the
// first control character (any byte below the space) ends the address, so
// "qmsp://host/a.qms\r\n" gives exactly "qmsp://host/a.qms".
//
// A page whose embed names the movie ("<embed src=intro.skm>") gets the stream, told by the "QMS "
// its 32-byte header begins with: at the first byte, or after the 4-byte length word (the whole
// stream's length, little-endian, positive) a streaming server puts before it in its HTTP answer.
#pragma once

#include <cstddef>
#include <string>

namespace skv::plugin {

constexpr size_t kEmbedSourceLimit = 1023;

// The address in the first bytes of an embed source; empty when there is none.
std::string addressFromEmbedSource(const char* bytes, size_t size);

// Reads the file (shared) and returns the address in it; empty when it cannot be opened or
// holds none.
std::string readEmbedSourceFile(const char* path);

struct EmbedSource {
    // The source is the movie stream, beginning `streamStart` bytes into it.
    bool isStream = false;
    size_t streamStart = 0;
    // A text file's address; empty for a stream.
    std::string address;
};

// What the first bytes of an embed source are.
EmbedSource classifyEmbedSource(const char* bytes, size_t size);
// The same for a delivered file (shared); neither a stream nor an address when it cannot be
// opened.
EmbedSource readEmbedSource(const char* path);

} // namespace skv::plugin
