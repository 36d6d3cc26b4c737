// DeliveredMovie: a movie stream the browser delivered as the embed source, and the address the
// player reads it from.
//
// The embed's own URL is where the player reads it when that URL names a local file holding the
// same stream (same length, same 32-byte header, which is also what the movie cache goes by): a
// page on the disk naming a movie beside it. The movie then streams from its file and is cached
// under its own name, as when a pointer file names it. Any other URL (a page served over http:,
// whose web port none of the player's own schemes reaches) is read from a copy of what the
// browser delivered, made at once: the browser's file lasts only as long as its stream, which
// ends as soon as the file has been handed over, and a streaming server's answer starts with a
// length word the copy leaves out.
#pragma once

#include <cstddef>
#include <string>

#include "plugin/embedsource.h"

namespace skv::plugin {

class DeliveredMovie {
public:
    DeliveredMovie() = default;
    // Deletes the copy: call it once the player has stopped reading it.
    ~DeliveredMovie();
    DeliveredMovie(const DeliveredMovie&) = delete;
    DeliveredMovie& operator=(const DeliveredMovie&) = delete;

    // The address for the stream the browser delivered in `fileName` for the embed at `url`;
    // empty when neither the URL nor a copy will do.
    std::string address(const char* url, const char* fileName, const EmbedSource& source);
    // The copy made, if one was; empty otherwise.
    const std::string& copyPath() const { return copy_; }

private:
    std::string copy_;
};

// True when the player, opening `url`, reads a local file with the length and header of the
// delivered file.
bool urlHoldsDeliveredStream(const char* url, const char* fileName);
// Copies `fileName` from `offset` on into a new temporary file and returns its path; empty on
// failure (nothing is left behind).
std::string copyDeliveredStream(const char* fileName, size_t offset);

} // namespace skv::plugin
