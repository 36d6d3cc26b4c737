// The embed source: the small text file the page's embed element names. Its first line is the
// movie's address; at most the first 1023 bytes count, and the first control character (any byte
// below the space) ends the address, so "qmsp://host/a.qms\r\n" gives exactly "qmsp://host/a.qms".
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

} // namespace skv::plugin
