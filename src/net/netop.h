// A browser request a movie script makes (open a page, fetch a text, preload a URL): created on the
// player's thread, carried to the browser's thread in a posted message, and destroyed when the
// browser reports the request complete.
#pragma once

#include <cstdint>
#include <memory>

namespace skv {

class netOp {
public:
    enum Kind : int32_t { kPage = 1, kText = 2, kPreload = 3 };

    // A verbatim copy of `text` is kept; a null or empty text raises CoreError 1000.
    netOp(int32_t operation, const char* text, int32_t value);
    netOp(const netOp&) = delete;
    netOp& operator=(const netOp&) = delete;

    const char* text() const { return text_.get(); }

    int32_t operation; // the kind of request
    int32_t state = 0;
    int32_t value; // the net id the request's stream is expected to get
    int32_t result = 0;

private:
    std::unique_ptr<char[]> text_;
};

} // namespace skv
